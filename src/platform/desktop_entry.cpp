#include "platform/desktop_entry.h"

#include "platform/files.h"

#include <sys/stat.h>

namespace zeph::desktop_entry {

namespace {
std::string oneLine(const std::string& s)
{
    std::string out;
    for (char c : s) out += (c == '\n' || c == '\r') ? ' ' : c;
    return out;
}
}  // namespace

std::string execArgument(const std::string& arg)
{
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\') out += "\\\\";
        else if (c == '%') out += "%%";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

bool write(const std::string& file, const Entry& e)
{
    std::string exec;
    for (auto& a : e.exec) exec += (exec.empty() ? "" : " ") + execArgument(a);
    std::string text = "[Desktop Entry]\nType=Application\nName=" + oneLine(e.name) + "\n";
    if (!e.comment.empty()) text += "Comment=" + oneLine(e.comment) + "\n";
    text += "Exec=" + exec + "\n";
    if (!e.path.empty()) text += "Path=" + oneLine(e.path) + "\n";
    text += "Terminal=false\n";
    fs::createDirectories(fs::folderOf(file));
    if (!fs::writeFile(file, text)) return false;
    return ::chmod(file.c_str(), 0755) == 0;
}

}  // namespace zeph::desktop_entry
