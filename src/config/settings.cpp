#include "config/settings.h"

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/regini.h"

#include <algorithm>

namespace zeph {

TCFGRec& sharedConfig()
{
    static TCFGRec rec;
    return rec;
}

std::string defaultDatabaseFolder() { return folders::commonDocuments() + "ZephDict"; }

void LoadSharedConfiguration()
{
    RegIniFile ini(kProductKey);
    TCFGRec& rec = sharedConfig();
    rec = TCFGRec{};
    rec.DatabaseFolder = ini.readString(kControlSection, "DatabaseFolder", defaultDatabaseFolder());
    if (!rec.DatabaseFolder.empty() && !fs::isDirectory(rec.DatabaseFolder))
        fs::createDirectories(rec.DatabaseFolder);  // a failure shows later, when the list is restored
}

std::string defaultLastCheckedText() { return dt::formatShortDate({2013, 12, 1}); }

std::optional<dt::Date> ParseCheckDate(const std::string& text)
{
    std::string t;
    std::copy_if(text.begin(), text.end(), std::back_inserter(t), [](char c) { return c != ' ' && c != '/' && c != '-'; });
    return dt::parseDate(t, "d.M.yyyy");
}

ControlSettings RestoreSettings()
{
    RegIniFile ini(kProductKey);
    const char* s = kControlSection;
    ControlSettings c;
    c.FormLeft = ini.readInteger(s, "FormLeft", 0);
    c.FormTop = ini.readInteger(s, "FormTop", 0);
    c.MinimizeToTray = ini.readBool(s, "MinimizeToTray", false);
    c.RunOnStartup = ini.readBool(s, "RunOnStartup", false);
    c.CheckForUpdates = ini.readBool(s, "CheckForUpdates", false);
    c.CheckPeriod = ini.readInteger(s, "ctCheckPeriodNumber", 30);
    c.LastChecked = ini.readString(s, "LastChecked", defaultLastCheckedText());
    c.DatabaseFolder = ini.readString(s, "DatabaseFolder", sharedConfig().DatabaseFolder);
    if (!ParseCheckDate(c.LastChecked)) c.LastChecked = defaultLastCheckedText();
    return c;
}

void SaveSettings(const ControlSettings& c)
{
    RegIniFile ini(kProductKey);
    const char* s = kControlSection;
    ini.writeInteger(s, "FormLeft", c.FormLeft);
    ini.writeInteger(s, "FormTop", c.FormTop);
    ini.writeBool(s, "MinimizeToTray", c.MinimizeToTray);
    ini.writeBool(s, "RunOnStartup", c.RunOnStartup);
    ini.writeString(s, "FirstStart", "0");
    ini.writeBool(s, "CheckForUpdates", c.CheckForUpdates);
    ini.writeInteger(s, "ctCheckPeriodNumber", c.CheckPeriod);
    ini.writeString(s, "LastChecked", c.LastChecked);
    ini.writeString(s, "DatabaseFolder", c.DatabaseFolder);
    ini.writeString(s, "ProgramFolder", folders::programFolder());
}

}  // namespace zeph
