// TAutoRun: the entry that starts a program when the user logs on. Here it is a freedesktop
// autostart file; the registry value of the start-up list is kept alongside for programs that
// look there.
#pragma once

#include <string>

namespace zeph::desk {

enum TAutoExecKind { aekMachineRun, aekMachineRunOnce, aekUserRun, aekUserRunOnce, aekServiceRun, aekServiceRunOnce };

// Where the machine kinds write: $ZEPH_MACHINE_AUTOSTART_DIR, else /etc/xdg/autostart.
std::string machineAutostartFolder();

class TAutoRun {
public:
    TAutoRun();  // FileName: the running program; Kind: aekMachineRun

    bool autoRun() const { return autoRun_; }
    const std::string& fileName() const { return fileName_; }
    TAutoExecKind kind() const { return kind_; }
    // Each setter with a new value removes the entry, stores the value and adds it again.
    void setAutoRun(bool on);
    void setFileName(const std::string& fileName);
    void setKind(TAutoExecKind kind);

    void Loaded() { Add(); }  // the window has finished loading
    void Add();               // Remove, then write the entry when AutoRun is on
    void Remove();

    // The entry's name: the part of FileName after its last "\", ":" or "/".
    std::string valueName() const;
    // The autostart file of the current kind, "" for the service kinds.
    std::string entryFile() const;

private:
    bool autoRun_ = false;
    std::string fileName_;
    TAutoExecKind kind_ = aekMachineRun;
};

}  // namespace zeph::desk
