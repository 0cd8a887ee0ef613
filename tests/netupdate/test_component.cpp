#include "netupdate/netupdate.h"
#include "netupdate/status.h"
#include "netupdate/update_log.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "support/test_env.h"

#include <ctime>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zeph;
using namespace zeph::nu;

namespace {

struct Report {
    std::string text;
    int32_t status, error;
    bool operator==(const Report&) const = default;
};

// Records every OnStatus.
struct Recorder {
    std::vector<Report> reports;
    void attach(TNetUpdate& nu)
    {
        nu.OnStatus = [this](TNetUpdate&, const std::string& t, int32_t s, int32_t e) { reports.push_back({t, s, e}); };
    }
};

std::optional<std::string> regValue(reg::Root root, const std::string& key, const std::string& name)
{
    auto k = reg::Key::open(root, key);
    return k ? k->getText(name) : std::nullopt;
}

}  // namespace

TEST(Component, ConstructorDefaultsAndTheControlPanelValues)
{
    TNetUpdate nu;
    EXPECT_EQ(nu.URL, "");
    EXPECT_EQ(nu.UpdateType, httpUpdate);
    EXPECT_EQ(nu.UpdateConnect, nucNoConnect);
    EXPECT_EQ(nu.UpdateUpdate, nuuPromptOnce);
    EXPECT_EQ(nu.VersionCheck, vcUpdateOnly);
    EXPECT_FALSE(nu.UseCRC32 || nu.SignatureCheck || nu.ExtractCAB || nu.ApplyPatch || nu.KeepIntermediateFiles);
    EXPECT_TRUE(nu.UseWinTempDir);
    EXPECT_EQ(nu.Signature, "NetUpdate");
    EXPECT_EQ(nu.TempDirectory, ".");
    EXPECT_EQ(nu.DateFormat, "dd/mm/yyyy");
    EXPECT_EQ(nu.DateSeparator, '/');
    EXPECT_EQ(nu.TimeFormat, "hh:nn");
    EXPECT_EQ(nu.TimeSeparator, ':');
    EXPECT_FALSE(nu.Logging);
    EXPECT_EQ(nu.LogFileName(), "NUPDATE.LOG");
    EXPECT_EQ(nu.Agent, "TNetUpdate");
    EXPECT_EQ(nu.Port, 21);
    EXPECT_EQ(nu.Authenticate, waNever);
    EXPECT_FALSE(nu.FTPPassive);
    EXPECT_EQ(nu.TimeOut, 0);
    EXPECT_FALSE(nu.LastURLEntry.Save);
    EXPECT_EQ(nu.LastURLEntry.Key, "");
    EXPECT_EQ(nu.LastURLEntry.RegRoot, lurLOCALUSER);
    EXPECT_FALSE(nu.PostUpdateInfo.Enabled);
    EXPECT_EQ(nu.Utility, nullptr);
    EXPECT_FALSE(nu.AppUpdate || nu.Threaded || nu.Cancelled || nu.LocalDateFromRegistry);

    ApplyControlPanelSettings(nu);
    EXPECT_EQ(nu.UpdateUpdate, nuuSilent);
    EXPECT_EQ(nu.VersionCheck, vcAlways);
    EXPECT_TRUE(nu.UseCRC32 && nu.ExtractCAB && nu.ApplyPatch && nu.KeepIntermediateFiles && nu.FTPPassive);
    EXPECT_FALSE(nu.Logging);  // the form leaves logging off
    EXPECT_EQ(nu.LastURLEntry.Key, "test");
    EXPECT_EQ(nu.LastURLEntry.Section, "");
    EXPECT_FALSE(nu.LastURLEntry.Save);

    EXPECT_EQ(nu.Version(), "2.0.5.0");
    nu.SetVersion("9.9.9.9");
    EXPECT_EQ(nu.Version(), "2.0.5.0");
}

TEST(Component, StatusesReachTheHostAndTheSharedLog)
{
    test::IsolatedHome home;
    fs::createDirectories(home.path() + "/Documents");
    TNetUpdate a, b;
    Recorder rec;
    rec.attach(a);

    // Logging off: the host hears every status, no log file appears.
    a.ReportStatus(916, "404", 6, 404);
    EXPECT_EQ(rec.reports, (std::vector<Report>{{"Http status : 404", 6, 404}}));
    EXPECT_FALSE(fs::exists(home.path() + "/Documents/NUPDATE.LOG"));

    // The log name is one for the process: setting it on b moves a's log too.
    b.SetLogFileName(home.path() + "/logs/nu.log");
    fs::createDirectories(home.path() + "/logs");
    a.Logging = true;
    a.ReportStatus(956, "Authentication cancelled", 0, 0);
    a.ReportStatus(18, "Exec: patcher.exe a.pat b.dll", 3, 0);
    std::string log = test::readFile(home.path() + "/logs/nu.log");
    auto lines = log.substr(0, log.find("\r\n"));
    EXPECT_NE(log.find(" : [956] Authentication cancelled (Status:0) (Error:0)\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" : [18] Exec: patcher.exe a.pat b.dll (Status:3) (Error:0)\r\n"), std::string::npos) << log;
    // The date uses the locale's separator (Czech: "."), the time ":".
    ASSERT_GE(lines.size(), 20u);
    EXPECT_EQ(lines[2], '.');
    EXPECT_EQ(lines[5], '.');
    EXPECT_EQ(lines[13], ':');

    // A log that cannot be written is raised to the reporting operation.
    b.SetLogFileName(home.path() + "/no/such/folder/nu.log");
    EXPECT_THROW(a.ReportStatus(949, "", 3, 0), LogError);
    b.SetLogFileName("NUPDATE.LOG");
    a.ReportStatus(949, "", 3, 0);
    EXPECT_TRUE(fs::isFile(home.path() + "/Documents/NUPDATE.LOG"));

    // An event that is not assigned is skipped.
    b.Logging = false;
    b.ReportStatus(949, "", 3, 0);
    b.FileDownloaded("/tmp/x");
}

TEST(Component, StartOfRunLinesInOrder)
{
    TNetUpdate nu;
    Recorder rec;
    rec.attach(nu);
    nu.Threaded = true;
    nu.ReportRunStart();
    ASSERT_EQ(rec.reports.size(), 6u);
    const char* prefixes[] = {"Start update : Threaded update ---------------------------", "OS version : ", "IE version : ",
                              "Compiler : ", "Installed IDEs : ", "Start NetUpdate process with version : 2.0.5.0"};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(rec.reports[i].text.rfind(prefixes[i], 0), 0u) << rec.reports[i].text;
        EXPECT_EQ(rec.reports[i].status, 0);
        EXPECT_EQ(rec.reports[i].error, 0);
    }
    EXPECT_NE(rec.reports[1].text.find("Linux"), std::string::npos);
    EXPECT_NE(rec.reports[3].text.size(), std::string("Compiler : ").size());
    nu.Threaded = false;
    rec.reports.clear();
    nu.ReportRunStart();
    EXPECT_EQ(rec.reports[0].text, "Start update : Non threaded update ---------------------------");
}

TEST(Component, EnvironmentTexts)
{
    test::TempDir dir;
    EXPECT_EQ(DevelopmentToolsText(dir.path()), "");  // none installed there
    for (const char* tool : {"qtcreator", "g++"}) {
        test::writeFile(dir / tool, "#!/bin/sh\n");
        ::chmod((dir / tool).c_str(), 0755);
    }
    test::writeFile(dir / "code", "not executable");
    EXPECT_EQ(DevelopmentToolsText("/nonexistent:" + dir.path()), "GCC Qt Creator");

    test::IsolatedHome home;
    unsetenv("BROWSER");
    fs::createDirectories(folders::configHome());
    test::writeFile(fs::join(folders::configHome(), "mimeapps.list"),
                    "[Default Applications]\nx-scheme-handler/http=firefox-esr.desktop;\n");
    EXPECT_EQ(BrowserText(), "firefox-esr.desktop");
    setenv("BROWSER", "lynx", 1);
    EXPECT_EQ(BrowserText(), "lynx");
    unsetenv("BROWSER");
}

TEST(Component, LastUrlAndDateInTheRegistry)
{
    test::IsolatedHome home;
    const std::string key = "Software\\Varnholt\\NU";
    const std::string sub = key + "\\Update";
    struct Case { const char* key; const char* section; bool save; bool readsUrl; };
    const Case cases[] = {
        {"Software\\Varnholt\\NU", "Update", true, true},
        {"Software\\Varnholt\\NU", "Update", false, false},
        {"Software\\Varnholt\\NU", "", true, false},
        {"", "Update", true, false},
    };
    for (auto& c : cases) {
        reg::Key::remove(reg::Root::CurrentUser, key);
        TNetUpdate nu;
        nu.LastURLEntry = {c.save, c.key, c.section, lurLOCALUSER};
        nu.WriteLastURL("{APP}\\next.inf");
        EXPECT_EQ(regValue(reg::Root::CurrentUser, sub, "LastURL").has_value(), c.readsUrl) << c.key << "/" << c.section;
        reg::Key::open(reg::Root::CurrentUser, sub, true)->setText("LastURL", "http://127.0.0.1/x.inf");
        EXPECT_EQ(nu.ReadLastURL(), c.readsUrl ? "http://127.0.0.1/x.inf" : "") << c.key << "/" << c.section;
    }

    // Save false: LastDate and LastTime are still read, never written.
    reg::Key::remove(reg::Root::CurrentUser, key);
    TNetUpdate reader;
    reader.LastURLEntry = {false, key, "Update", lurLOCALUSER};
    EXPECT_EQ(reader.GetLocalDate(""), (dt::DateTime{1980, 1, 1, 0, 0, 0, 0}));
    EXPECT_TRUE(reader.LocalDateFromRegistry);
    EXPECT_TRUE(reg::Key::exists(reg::Root::CurrentUser, key));   // the key is made for reading too
    EXPECT_FALSE(reg::Key::exists(reg::Root::CurrentUser, sub));  // the section only for writing
    auto k = reg::Key::open(reg::Root::CurrentUser, sub, true);
    k->setText("LastDate", dt::formatShortDate({2008, 3, 24}));
    k->setText("LastTime", "14:30:15");
    EXPECT_EQ(reader.GetLocalDate(""), (dt::DateTime{2008, 3, 24, 14, 30, 15, 0}));
    reader.SaveLastDate({2009, 1, 1, 0, 0, 0, 0});
    EXPECT_EQ(k->getText("LastDate"), dt::formatShortDate({2008, 3, 24}));
    k->setText("LastTime", "bad");
    EXPECT_EQ(reader.GetLocalDate(""), (dt::DateTime{2008, 3, 24, 0, 0, 0, 0}));  // what converted stays

    // Save true: nothing is written before GetLocalDate has read the registry once.
    reg::Key::remove(reg::Root::CurrentUser, key);
    TNetUpdate writer;
    writer.LastURLEntry = {true, key, "Update", lurLOCALUSER};
    writer.SaveLastDate({2008, 3, 24, 14, 30, 0, 0});
    EXPECT_FALSE(reg::Key::exists(reg::Root::CurrentUser, sub));
    writer.GetLocalDate("");
    writer.SaveLastDate({2008, 3, 24, 14, 30, 0, 0});
    EXPECT_EQ(regValue(reg::Root::CurrentUser, sub, "LastDate"), dt::formatShortDate({2008, 3, 24}));
    EXPECT_EQ(writer.GetLocalDate(""), (dt::DateTime{2008, 3, 24, 14, 30, 0, 0}));
    // A date without a time of day writes no LastTime, and drops the one of an earlier date.
    writer.SaveLastDate({2008, 3, 25, 0, 0, 0, 0});
    EXPECT_FALSE(regValue(reg::Root::CurrentUser, sub, "LastTime").has_value());
    EXPECT_EQ(writer.GetLocalDate(""), (dt::DateTime{2008, 3, 25, 0, 0, 0, 0}));

    // The local machine root.
    TNetUpdate machine;
    machine.LastURLEntry = {true, key, "Update", lurLOCALMACHINE};
    machine.WriteLastURL("http://127.0.0.1/m.inf");
    EXPECT_EQ(regValue(reg::Root::LocalMachine, sub, "LastURL"), "http://127.0.0.1/m.inf");
    EXPECT_EQ(machine.ReadLastURL(), "http://127.0.0.1/m.inf");

    // Without Key and Section the local date is the file's last-write time.
    test::TempDir dir;
    test::writeFile(dir / "app.exe", "x");
    dt::DateTime when{2007, 6, 5, 4, 3, 2, 0};
    fs::setModificationTime(dir / "app.exe", dt::toTimeT(when));
    TNetUpdate plain;
    ApplyControlPanelSettings(plain);
    EXPECT_EQ(plain.GetLocalDate(dir / "app.exe"), when);
    EXPECT_EQ(plain.GetLocalDate(dir / "missing.exe"), (dt::DateTime{1980, 1, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(plain.LocalDateFromRegistry);
    EXPECT_FALSE(reg::Key::exists(reg::Root::CurrentUser, "test"));
}

TEST(Component, MacrosAndDatesWithTheComponentsSettings)
{
    char buf[4096];
    std::string cwd = getcwd(buf, sizeof buf);
    TNetUpdate nu;
    EXPECT_EQ(nu.ExpandPrefixes("{APP}\\a.exe"), cwd + "\\a.exe");
    std::vector<std::string> seen;
    nu.OnConvertPrefix = [&](TNetUpdate&, std::string& p) {
        seen.push_back(p);
        if (p == "old.exe") p = "{app}\\new.exe";
    };
    EXPECT_EQ(nu.ExpandPrefixes("old.exe"), cwd + "\\new.exe");
    EXPECT_EQ(seen, std::vector<std::string>{"old.exe"});

    // A host-specific component may know more macros.
    struct Custom : TNetUpdate {
        void ConvertPrefix(const std::string& name, std::string& dir) override
        {
            if (name == "DATA") dir = "/srv/data";
            else TNetUpdate::ConvertPrefix(name, dir);
        }
    } custom;
    EXPECT_EQ(custom.ExpandPrefixes("{data}\\x;{XYZ}"), "/srv/data\\x;{XYZ}");

    nu.DateFormat = "mm.dd.yyyy";
    nu.DateSeparator = '.';
    nu.TimeSeparator = '-';
    EXPECT_EQ(nu.ParseControlDateTime("03.24.2008", "14-30"), (dt::DateTime{2008, 3, 24, 14, 30, 0, 0}));
    EXPECT_EQ(nu.ParseControlDateTime("24.03.2008", "14-30"), (dt::DateTime{1980, 1, 1, 0, 0, 0, 0}));
}
