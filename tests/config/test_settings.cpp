#include "config/settings.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/regini.h"
#include "platform/registry.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph;
using zeph::test::IsolatedHome;

namespace {
RegIniFile product() { return RegIniFile(kProductKey); }
}

TEST(Settings, FirstStartShowsTheDefaultsAndCreatesTheDatabaseFolder)
{
    IsolatedHome home;
    LoadSharedConfiguration();
    std::string folder = home.path() + "/.local/share/ZephDict";
    EXPECT_EQ(sharedConfig().DatabaseFolder, folder);
    EXPECT_TRUE(fs::isDirectory(folder));
    ControlSettings s = RestoreSettings();
    EXPECT_EQ(s.FormLeft, 0);
    EXPECT_EQ(s.FormTop, 0);
    EXPECT_FALSE(s.MinimizeToTray);
    EXPECT_FALSE(s.RunOnStartup);
    EXPECT_FALSE(s.CheckForUpdates);
    EXPECT_EQ(s.CheckPeriod, 30);
    EXPECT_EQ(s.LastChecked, "1.12.2013");
    EXPECT_EQ(s.DatabaseFolder, folder);
    EXPECT_FALSE(reg::Key::exists(reg::Root::CurrentUser, "Software\\Varnholt\\Zephlon8\\Control"));  // reading writes nothing
}

TEST(Settings, CommonDocumentsComeFromTheMachineHive)
{
    IsolatedHome home;
    reg::Key::open(reg::Root::LocalMachine, "Software\\Varnholt\\Zephlon8", true)
        ->setText("CommonDocuments", home.path() + "/shared");
    LoadSharedConfiguration();
    EXPECT_EQ(sharedConfig().DatabaseFolder, home.path() + "/shared/ZephDict");
    EXPECT_TRUE(fs::isDirectory(home.path() + "/shared/ZephDict"));
}

TEST(Settings, UnwritableDatabaseFolderIsIgnored)
{
    IsolatedHome home;
    product().writeString("Control", "DatabaseFolder", "/proc/no/such/folder");
    EXPECT_NO_THROW(LoadSharedConfiguration());
    EXPECT_EQ(sharedConfig().DatabaseFolder, "/proc/no/such/folder");
}

TEST(Settings, StoredTextsReadAsTheStoreDefines)
{
    IsolatedHome home;
    struct Case { const char* lastChecked; const char* expectText; dt::Date expectDate; };
    const Case cases[] = {
        {"31.12.2014", "31.12.2014", {2014, 12, 31}},
        {"1. 2. 2015", "1. 2. 2015", {2015, 2, 1}},
        {"not a date", "1.12.2013", {2013, 12, 1}},
        {"30.2.2015", "1.12.2013", {2013, 12, 1}},
    };
    for (auto& c : cases) {
        product().writeString("Control", "LastChecked", c.lastChecked);
        product().writeString("Control", "FormLeft", "abc");
        ControlSettings s = RestoreSettings();
        EXPECT_EQ(s.FormLeft, 0);
        EXPECT_EQ(s.LastChecked, c.expectText) << c.lastChecked;
        EXPECT_EQ(ParseCheckDate(s.LastChecked).value(), c.expectDate) << c.lastChecked;
    }
}

TEST(Settings, ParseCheckDateDropsBlanksSlashesAndDashes)
{
    struct Case { const char* text; bool ok; dt::Date date; };
    const Case cases[] = {
        {"01.02.2015", true, {2015, 2, 1}}, {"1. 2. 2015", true, {2015, 2, 1}},
        {"1.-2./2015", true, {2015, 2, 1}}, {"1/2/2015", false, {}}, {"29.2.2016", true, {2016, 2, 29}},
        {"29.2.2015", false, {}}, {"", false, {}}, {"1.2", false, {}},
    };
    for (auto& c : cases) {
        auto d = ParseCheckDate(c.text);
        ASSERT_EQ(bool(d), c.ok) << c.text;
        if (d) EXPECT_EQ(*d, c.date) << c.text;
    }
}

TEST(Settings, SaveWritesTheSectionInOrderWithFirstStartAndProgramFolder)
{
    IsolatedHome home;
    ControlSettings s;
    s.FormLeft = -12;
    s.FormTop = 40;
    s.MinimizeToTray = true;
    s.CheckForUpdates = true;
    s.CheckPeriod = 90;
    s.LastChecked = "5.6.2020";
    s.DatabaseFolder = "/data/slovniky/";
    SaveSettings(s);
    auto key = reg::Key::open(reg::Root::CurrentUser, "Software\\Varnholt\\Zephlon8\\Control");
    ASSERT_TRUE(key);
    std::vector<std::string> order;
    for (auto& v : key->values()) {
        order.push_back(v.name);
        EXPECT_EQ(v.type, reg::Type::Sz) << v.name;
    }
    EXPECT_EQ(order, (std::vector<std::string>{"FormLeft", "FormTop", "MinimizeToTray", "RunOnStartup", "FirstStart",
                                               "CheckForUpdates", "ctCheckPeriodNumber", "LastChecked",
                                               "DatabaseFolder", "ProgramFolder"}));
    EXPECT_EQ(key->getText("FirstStart").value_or(""), "0");
    EXPECT_EQ(key->getText("ProgramFolder").value_or(""), folders::programFolder());
    EXPECT_EQ(key->getText("ProgramFolder").value_or("").back(), '/');
    ControlSettings back = RestoreSettings();
    EXPECT_EQ(back.FormLeft, -12);
    EXPECT_TRUE(back.MinimizeToTray);
    EXPECT_EQ(back.CheckPeriod, 90);
    EXPECT_EQ(back.LastChecked, "5.6.2020");
    EXPECT_EQ(back.DatabaseFolder, "/data/slovniky/");
}
