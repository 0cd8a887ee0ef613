#include "platform/folders.h"

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "platform/textcodec.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeph::folders {

namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : std::string();
}

// A folder named in user-dirs.dirs (XDG_DESKTOP_DIR="$HOME/Desktop"), or "".
std::string userDir(const char* name)
{
    if (std::string v = env(name); !v.empty()) return fs::withTrailingSlash(v);
    std::string bytes;
    if (!fs::readFile(configHome() + "user-dirs.dirs", bytes)) return "";
    std::string prefix = std::string(name) + "=";
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        std::string line = text::trim(bytes.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        pos = end == std::string::npos ? bytes.size() : end + 1;
        if (line.rfind(prefix, 0) != 0) continue;
        std::string v = line.substr(prefix.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0) v = home() + v.substr(v.size() > 5 && v[5] == '/' ? 6 : 5);
        if (v.empty() || v[0] != '/') return "";
        return fs::withTrailingSlash(v);
    }
    return "";
}

}  // namespace

std::string home()
{
    std::string h = env("HOME");
    if (h.empty())
        if (passwd* pw = getpwuid(getuid())) h = pw->pw_dir;
    return fs::withTrailingSlash(h.empty() ? "/tmp" : h);
}

std::string configHome()
{
    std::string v = env("XDG_CONFIG_HOME");
    return v.empty() ? home() + ".config/" : fs::withTrailingSlash(v);
}

std::string dataHome()
{
    std::string v = env("XDG_DATA_HOME");
    return v.empty() ? home() + ".local/share/" : fs::withTrailingSlash(v);
}

std::string documents()
{
    std::string v = userDir("XDG_DOCUMENTS_DIR");
    return v.empty() ? home() + "Documents/" : v;
}

std::string desktop()
{
    std::string v = userDir("XDG_DESKTOP_DIR");
    return v.empty() ? home() + "Desktop/" : v;
}

std::string localAppData()
{
    std::string v = env("XDG_CACHE_HOME");
    return v.empty() ? home() + ".cache/" : fs::withTrailingSlash(v);
}

std::string temp()
{
    std::string v = env("TMPDIR");
    return fs::withTrailingSlash(v.empty() ? "/tmp" : v);
}

std::string runtimeDir()
{
    std::string v = env("XDG_RUNTIME_DIR");
    if (!v.empty()) return fs::withTrailingSlash(v);
    std::string dir = temp() + "zephlon8-" + std::to_string(getuid()) + "/";
    ::mkdir(dir.c_str(), 0700);
    return dir;
}

std::string commonDocuments()
{
    try {
        if (auto key = reg::Key::open(reg::Root::LocalMachine, "Software\\Varnholt\\Zephlon8"))
            if (auto v = key->getText("CommonDocuments"); v && !v->empty()) return fs::withTrailingSlash(*v);
    } catch (const reg::Error&) {
        // An unreadable machine hive leaves the default.
    }
    return dataHome();
}

std::string programPath()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    return std::string(buf, n);
}

std::string programFolder() { return fs::folderOf(programPath()); }

}  // namespace zeph::folders
