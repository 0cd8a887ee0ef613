// ReportStatus and the environment texts of the start of a run.
#include "netupdate/netupdate.h"
#include "netupdate/update_log.h"

#include "netupdate/status.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/textcodec.h"

#include <cstdlib>
#include <sys/utsname.h>
#include <unistd.h>

namespace zeph::nu {

namespace {

// A value of an os-release style file ("KEY=value" or KEY="value").
std::string osReleaseValue(const std::string& content, const std::string& key)
{
    size_t at = 0;
    while (at < content.size()) {
        size_t end = content.find('\n', at);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(at, end - at);
        at = end + 1;
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string v = text::trim(line.substr(key.size() + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
        return v;
    }
    return "";
}

bool onPath(const std::string& program, const std::string& path)
{
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find(':', at);
        if (end == std::string::npos) end = path.size();
        std::string dir = path.substr(at, end - at);
        at = end + 1;
        if (dir.empty()) continue;
        std::string file = dir + "/" + program;
        if (fs::isFile(file) && ::access(file.c_str(), X_OK) == 0) return true;
    }
    return false;
}

// The desktop entry that handles http links in a mimeapps.list, "" when none.
std::string httpHandler(const std::string& mimeapps)
{
    auto doc = ini::Document::load(mimeapps);
    std::string v = doc.get("Default Applications", "x-scheme-handler/http", "");
    size_t semi = v.find(';');
    return semi == std::string::npos ? v : v.substr(0, semi);
}

}  // namespace

std::string OperatingSystemText()
{
    std::string kernel;
    struct utsname u {};
    if (::uname(&u) == 0) kernel = std::string(u.sysname) + " " + u.release;
    std::string content;
    std::string distro;
    if (fs::readFile("/etc/os-release", content) || fs::readFile("/usr/lib/os-release", content))
        distro = osReleaseValue(content, "PRETTY_NAME");
    if (distro.empty()) return kernel;
    return kernel.empty() ? distro : kernel + " (" + distro + ")";
}

std::string BrowserText()
{
    if (const char* b = std::getenv("BROWSER"); b && *b) return b;
    std::string configHome = folders::configHome();
    for (const std::string& list : {fs::join(configHome, "mimeapps.list"), fs::join(folders::dataHome(), "applications/mimeapps.list"),
                                    std::string("/etc/xdg/mimeapps.list"), std::string("/usr/share/applications/mimeapps.list")}) {
        std::string h = httpHandler(list);
        if (!h.empty()) return h;
    }
    return "(not found)";
}

std::string CompilerText()
{
#if defined(__clang__)
    return "Clang " __clang_version__;
#elif defined(__GNUC__)
    return "GCC " __VERSION__;
#else
    return "C++";
#endif
}

std::string DevelopmentToolsText(const std::string& path)
{
    static const struct { const char* tag; const char* program; } kTools[] = {
        {"GCC", "g++"},      {"Clang", "clang++"},   {"Qt Creator", "qtcreator"}, {"KDevelop", "kdevelop"},
        {"VS Code", "code"}, {"Eclipse", "eclipse"}, {"Lazarus", "lazarus-ide"},
    };
    std::string out;
    for (auto& t : kTools) {
        if (!onPath(t.program, path)) continue;
        if (!out.empty()) out += ' ';
        out += t.tag;
    }
    return out;
}

void TNetUpdate::ReportStatus(int32_t resId, const std::string& param, int32_t statusCode, int32_t errCode)
{
    std::string text = FormatStatus(resId, param);
    if (Logging) AppendLogLine(LogLine(dt::now(), resId, text, statusCode, errCode));
    if (OnStatus) OnStatus(*this, text, statusCode, errCode);
}

void TNetUpdate::GetOSVersionText(std::string& text) { text = OperatingSystemText(); }
void TNetUpdate::GetCompilerText(std::string& text) { text = CompilerText(); }
void TNetUpdate::GetIEVersionText(std::string& text) { text = BrowserText(); }

void TNetUpdate::GetInstalledIDEsText(std::string& text)
{
    const char* path = std::getenv("PATH");
    text = DevelopmentToolsText(path ? path : "");
}

void TNetUpdate::ReportRunStart()
{
    ReportStatus(968, Threaded ? "Threaded update" : "Non threaded update", 0, 0);
    std::string t;
    GetOSVersionText(t);
    ReportStatus(966, t, 0, 0);
    GetIEVersionText(t);
    ReportStatus(967, t, 0, 0);
    GetCompilerText(t);
    ReportStatus(969, t, 0, 0);
    GetInstalledIDEsText(t);
    ReportStatus(970, t, 0, 0);
    ReportStatus(963, Version(), 0, 0);
}

}  // namespace zeph::nu
