#include "desktop/autorun.h"

#include "platform/desktop_entry.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/registry.h"

#include <cstdlib>

namespace zeph::desk {

namespace {

bool isService(TAutoExecKind k) { return k == aekServiceRun || k == aekServiceRunOnce; }
bool isOnce(TAutoExecKind k) { return k == aekMachineRunOnce || k == aekUserRunOnce; }
bool isUser(TAutoExecKind k) { return k == aekUserRun || k == aekUserRunOnce; }

const char* keyName(TAutoExecKind k)
{
    switch (k) {
    case aekMachineRun:
    case aekUserRun: return "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    case aekMachineRunOnce:
    case aekUserRunOnce: return "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    case aekServiceRun: return "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
    case aekServiceRunOnce: return "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";
    }
    return "";
}

reg::Root rootOf(TAutoExecKind k) { return isUser(k) ? reg::Root::CurrentUser : reg::Root::LocalMachine; }

}  // namespace

std::string machineAutostartFolder()
{
    const char* e = std::getenv("ZEPH_MACHINE_AUTOSTART_DIR");
    return fs::withTrailingSlash(e && *e ? e : "/etc/xdg/autostart");
}

TAutoRun::TAutoRun() : fileName_(folders::programPath()) {}

std::string TAutoRun::valueName() const
{
    size_t cut = fileName_.find_last_of("\\:/");
    return cut == std::string::npos ? fileName_ : fileName_.substr(cut + 1);
}

std::string TAutoRun::entryFile() const
{
    // Service lists exist only on a platform generation this one does not have.
    if (isService(kind_) || valueName().empty()) return "";
    std::string folder = isUser(kind_) ? folders::configHome() + "autostart/" : machineAutostartFolder();
    return folder + valueName() + ".desktop";
}

void TAutoRun::setAutoRun(bool on)
{
    if (on == autoRun_) return;
    Remove();
    autoRun_ = on;
    Add();
}

void TAutoRun::setFileName(const std::string& fileName)
{
    if (fileName == fileName_) return;
    Remove();
    fileName_ = fileName;
    Add();
}

void TAutoRun::setKind(TAutoExecKind kind)
{
    if (kind == kind_) return;
    Remove();
    kind_ = kind;
    Add();
}

void TAutoRun::Add()
{
    Remove();
    if (!autoRun_ || isService(kind_)) return;
    try {
        auto key = reg::Key::open(rootOf(kind_), keyName(kind_), true);
        key->setText(valueName(), fileName_, fileName_.find('%') != std::string::npos ? reg::Type::ExpandSz : reg::Type::Sz);
    } catch (const std::exception&) {
        // Failures are swallowed: the option simply does not take effect.
    }
    std::string file = entryFile();
    if (file.empty()) return;
    desktop_entry::Entry e{valueName(), "", {fileName_}, ""};
    if (isOnce(kind_)) e.exec = {"/bin/sh", "-c", "rm -f \"$0\"; exec \"$1\"", file, fileName_};  // runs once, then goes
    desktop_entry::write(file, e);
}

void TAutoRun::Remove()
{
    if (isService(kind_)) return;
    try {
        if (auto key = reg::Key::open(rootOf(kind_), keyName(kind_))) key->removeValue(valueName());
    } catch (const std::exception&) {
    }
    if (std::string file = entryFile(); !file.empty()) fs::removeFile(file);
}

}  // namespace zeph::desk
