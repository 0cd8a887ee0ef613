#include "app/window_logic.h"

#include "config/settings.h"
#include "platform/files.h"
#include "platform/textcodec.h"

#include <cstdlib>

namespace zeph::app {

int wholeDaysBetween(const dt::Date& a, const dt::Date& b) { return std::abs(dt::daysBetween(a, b)); }

bool reminderDue(const StartupFacts& f)
{
    auto last = ParseCheckDate(f.lastChecked);
    if (!last) return false;
    return wholeDaysBetween(f.today, *last) >= f.checkPeriod;
}

StartMode decideStart(const StartupFacts& f)
{
    if (f.listEmpty) return StartMode::ShowWithInitTimer;
    if (f.reminderOn && reminderDue(f)) return StartMode::ShowWithInitTimer;
    if (f.runUpdateSwitch) return StartMode::ShowWithInitTimer;
    if (f.minimizeToTray && f.trayAdded) return StartMode::StartHidden;
    return StartMode::Show;
}

std::optional<std::string> filterStatus(const std::string& text, int statusCode)
{
    auto has = [&](const char* s) { return text.find(s) != std::string::npos; };
    for (const char* hidden : {"Compiler :", "Installed IDEs :", "IE version :", "Start NetUpdate process with version :",
                               "Version based update found", "Closed Internet connection"})
        if (has(hidden)) return std::nullopt;
    std::string line = text;
    if (has("OS version :") && has("(Vista)")) {
        for (size_t p; (p = line.find("(Vista)")) != std::string::npos;) line.erase(p, 7);
    }
    if (has("Start update : Threaded update")) line = "Kontrola aktualizace aplikace:";
    if (has("Threaded update execution done")) line = "Konec aktualizace aplikace.";
    if (statusCode == 4) line = "Žádná nová aktualizace není momentálně k dispozici.";
    return line;
}

bool isDictionaryProgram(const std::string& exePath)
{
    std::string name = text::toUpper(fs::fileName(exePath));
    return name == "ZEPH8" || name == "ZEPH8.EXE" || text::toUpper(exePath) == "ZEPH8.EXE";
}

}  // namespace zeph::app
