#include "catalogue/launch.h"

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/registry.h"

#include <sys/stat.h>

namespace zeph::cat {

namespace {

std::string folderOrDefault(const std::string& programFolder)
{
    return programFolder.empty() ? folders::programFolder() : programFolder;
}

// One argument of a desktop entry's Exec key: quoted, with the characters that quoting
// protects escaped, then escaped again as a string value.
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

std::string oneLine(const std::string& s)
{
    std::string out;
    for (char c : s) out += (c == '\n' || c == '\r') ? ' ' : c;
    return out;
}

}  // namespace

std::string StartCommand(const std::string& programFolder, const std::string& path, const std::string& name)
{
    return "\"" + fs::withoutTrailingSlash(folderOrDefault(programFolder)) + "/zeph8\" \"" + path + "\" \"" + name + "\"";
}

void RunDictionary(const std::string& path, const std::string& name, const std::string& programFolder)
{
    proc::StartOptions opts;
    opts.detach = true;
    proc::start(StartCommand(programFolder, path, name), opts);
}

std::string DesktopFolder()
{
    try {
        auto key = reg::Key::open(reg::Root::CurrentUser,
                                  "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true);
        if (auto v = key->getText("Desktop"); v && !v->empty()) return fs::withTrailingSlash(*v);
    } catch (const reg::Error&) {
    }
    return folders::desktop();
}

std::string CreateDesktopShortcut(const std::string& path, const std::string& name, const std::string& programFolder)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return "";
    std::string folder = fs::withTrailingSlash(folderOrDefault(programFolder));
    std::string target = folder + "zeph8";
    std::string entry = "[Desktop Entry]\nType=Application\nName=" + oneLine(name) + "\nComment=" + oneLine(name) +
                        "\nExec=" + execArgument(target) + " " + execArgument(path) + " " + execArgument(name) +
                        "\nPath=" + folder + "\nTerminal=false\n";
    std::string desktop = DesktopFolder();
    fs::createDirectories(desktop);
    std::string file = desktop + name + ".desktop";
    if (!fs::writeFile(file, entry)) return "";
    ::chmod(file.c_str(), 0755);
    return file;
}

}  // namespace zeph::cat
