#include "desktop/autorun.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph;
using namespace zeph::desk;

namespace {
const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
std::optional<reg::Value> runValue(const std::string& name)
{
    auto key = reg::Key::open(reg::Root::CurrentUser, kRun);
    return key ? key->get(name) : std::nullopt;
}
}  // namespace

TEST(AutoRun, StartupWithTheOptionWritesTheBareNameThenAClickTheFullPath)
{
    test::IsolatedHome home;
    TAutoRun a;
    a.setKind(aekUserRun);
    a.setFileName("quelder8");
    a.setAutoRun(true);  // start-up, option on
    std::string file = home.path() + "/.config/autostart/quelder8.desktop";
    ASSERT_TRUE(fs::isFile(file));
    EXPECT_NE(test::readFile(file).find("\nExec=\"quelder8\"\n"), std::string::npos);
    EXPECT_EQ(runValue("quelder8")->asText(), "quelder8");

    a.setAutoRun(false);  // the user switches it off
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(runValue("quelder8"));
    a.setFileName("/opt/zephlon/quelder8");  // and on again, with the full path
    a.setAutoRun(true);
    EXPECT_NE(test::readFile(file).find("\nExec=\"/opt/zephlon/quelder8\"\n"), std::string::npos);
    EXPECT_EQ(runValue("quelder8")->asText(), "/opt/zephlon/quelder8");
}

TEST(AutoRun, OptionOffRemovesAnOldEntryWhenLoaded)
{
    test::IsolatedHome home;
    reg::Key::open(reg::Root::CurrentUser, kRun, true)->setText("quelder8", "old");
    test::writeFile(home.path() + "/.config/autostart/quelder8.desktop", "[Desktop Entry]\n");
    TAutoRun a;
    a.setKind(aekUserRun);
    a.setFileName("quelder8");
    a.Loaded();
    EXPECT_FALSE(runValue("quelder8"));
    EXPECT_FALSE(fs::exists(home.path() + "/.config/autostart/quelder8.desktop"));
}

TEST(AutoRun, KindsPercentAndOnce)
{
    test::IsolatedHome home;
    setenv("ZEPH_MACHINE_AUTOSTART_DIR", (home.path() + "/xdg-autostart").c_str(), 1);
    TAutoRun a;
    a.setFileName("/opt/%APPDIR%/quelder8");
    a.setKind(aekUserRun);
    a.setAutoRun(true);
    EXPECT_EQ(runValue("quelder8")->type, reg::Type::ExpandSz);
    EXPECT_NE(test::readFile(a.entryFile()).find("%%APPDIR%%"), std::string::npos);

    a.setKind(aekMachineRun);  // moves the entry to the machine list
    EXPECT_FALSE(runValue("quelder8"));
    EXPECT_TRUE(fs::isFile(home.path() + "/xdg-autostart/quelder8.desktop"));
    EXPECT_TRUE(reg::Key::open(reg::Root::LocalMachine, kRun)->hasValue("quelder8"));

    a.setKind(aekUserRunOnce);
    std::string once = test::readFile(a.entryFile());
    EXPECT_NE(once.find("rm -f"), std::string::npos);

    a.setKind(aekServiceRun);  // nothing on this platform
    EXPECT_EQ(a.entryFile(), "");
    EXPECT_TRUE(fs::list(home.path() + "/.config/autostart").empty());
    unsetenv("ZEPH_MACHINE_AUTOSTART_DIR");
}
