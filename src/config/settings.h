// The settings store: the shared configuration record and the section "Control" of
// HKCU "Software\Varnholt\Zephlon8", as a plain model that the window binds to its controls.
#pragma once

#include "platform/datetime.h"

#include <optional>
#include <string>

namespace zeph {

constexpr const char* kProductKey = "Software\\Varnholt\\Zephlon8";
constexpr const char* kControlSection = "Control";

// TCFGRec: one per process, loaded once at start-up.
struct TCFGRec {
    std::string DatabaseFolder;
};
TCFGRec& sharedConfig();

// The default database folder: the common documents folder + "ZephDict".
std::string defaultDatabaseFolder();
// Fills sharedConfig() from the section "Control"; creates the database folder when missing
// (a failure is ignored).
void LoadSharedConfiguration();

// What the section "Control" holds, as the window's controls show it.
struct ControlSettings {
    int32_t FormLeft = 0;
    int32_t FormTop = 0;
    bool MinimizeToTray = false;
    bool RunOnStartup = false;
    bool CheckForUpdates = false;
    int32_t CheckPeriod = 30;   // stored as ctCheckPeriodNumber
    std::string LastChecked;    // text in the system's short date format
    std::string DatabaseFolder;
};

// 1 December 2013 in the system's short date format.
std::string defaultLastCheckedText();
// Reads the section in the order of the settings store, with its defaults; an unparsable
// last-checked text is replaced by the default text.
ControlSettings RestoreSettings();
// Writes the section in order; FirstStart "0" and ProgramFolder (the running program's folder).
void SaveSettings(const ControlSettings& s);

// Removes spaces, "/" and "-", then reads "d.m.yyyy"; nullopt when not a valid date.
std::optional<dt::Date> ParseCheckDate(const std::string& text);

}  // namespace zeph
