#include "catalogue/launch.h"

#include "platform/desktop_entry.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace zeph::cat {

namespace {

std::string folderOrDefault(const std::string& programFolder)
{
    return programFolder.empty() ? folders::programFolder() : programFolder;
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
    // Separators of either kind would put the launcher elsewhere: such a name makes none.
    if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
        return "";
    std::string folder = fs::withTrailingSlash(folderOrDefault(programFolder));
    // The launcher starts exactly what the list starts: the start command's own arguments.
    auto exec = proc::splitCommandLine(StartCommand(programFolder, path, name));
    std::string file = DesktopFolder() + name + ".desktop";
    return desktop_entry::write(file, {name, name, exec, folder}) ? file : "";
}

}  // namespace zeph::cat
