// The window's decisions, kept free of Qt so that they can be tested as tables.
#pragma once

#include "platform/datetime.h"

#include <optional>
#include <string>

namespace zeph::app {

enum class StartMode { ShowWithInitTimer, Show, StartHidden };

struct StartupFacts {
    bool listEmpty = false;
    bool reminderOn = false;
    int checkPeriod = 30;
    std::string lastChecked;  // text of ctLastChecked
    dt::Date today;
    bool runUpdateSwitch = false;  // first argument "/runupdate"
    bool minimizeToTray = false;
    bool trayAdded = false;
};

// Whole days between two dates, as an absolute difference.
int wholeDaysBetween(const dt::Date& a, const dt::Date& b);
bool reminderDue(const StartupFacts& f);
StartMode decideStart(const StartupFacts& f);

// The status filter of the update page: the line to append, or nothing.
std::optional<std::string> filterStatus(const std::string& text, int statusCode);

// True when a running executable is the dictionary program ("zeph8", any case; a Windows-style
// "Zeph8.exe" as well).
bool isDictionaryProgram(const std::string& exePath);

// The first command-line switch, compared exactly.
constexpr const char* kRunUpdateSwitch = "/runupdate";
constexpr const char* kReloadSwitch = "/reload";

}  // namespace zeph::app
