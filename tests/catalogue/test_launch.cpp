#include "catalogue/launch.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zeph;
using namespace zeph::cat;

namespace {
// A program folder whose zeph8 records its arguments, one a line. The record appears whole (by
// a rename), so that a reader never sees it half written.
struct RecordingProgram {
    test::TempDir dir{"zeph-prog dir"};
    RecordingProgram()
    {
        test::writeFile(dir / "zeph8", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.part\"\n"
                                       "mv \"$0.part\" \"$0.args\"\n");
        chmod((dir / "zeph8").c_str(), 0755);
    }
    std::string waitForArgs()
    {
        for (int i = 0; i < 200; ++i) {
            std::string s = test::readFile(dir / "zeph8.args");
            if (!s.empty()) return s;
            usleep(20000);
        }
        return "";
    }
};
}  // namespace

TEST(Launch, StartCommandAndWhatTheProgramReceives)
{
    EXPECT_EQ(StartCommand("/opt/Slovnik/", "/data/AC.di8", "Anglicko-český"),
              "\"/opt/Slovnik/zeph8\" \"/data/AC.di8\" \"Anglicko-český\"");
    RecordingProgram prog;
    RunDictionary("/data/my dicts/AC.di8", "Anglicko-český", prog.dir.path() + "/");
    EXPECT_EQ(prog.waitForArgs(), "/data/my dicts/AC.di8\nAnglicko-český\n");
    EXPECT_EQ(proc::splitCommandLine(StartCommand(prog.dir.path(), "/d/a.di8", "N")),
              (std::vector<std::string>{prog.dir.path() + "/zeph8", "/d/a.di8", "N"}));
}

TEST(Launch, DesktopLauncherReplacedNotDuplicatedAndStartsTheSameCommand)
{
    test::IsolatedHome home;
    RecordingProgram prog;
    std::string first = CreateDesktopShortcut("/data/AC.di8", "Anglicko-český", prog.dir.path());
    std::string second = CreateDesktopShortcut("/data/AC.di8", "Anglicko-český", prog.dir.path());
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, home.path() + "/Desktop/Anglicko-český.desktop");
    EXPECT_EQ(fs::list(home.path() + "/Desktop").size(), 1u);
    struct stat st;
    ASSERT_EQ(stat(first.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    std::string entry = test::readFile(first);
    EXPECT_NE(entry.find("\nName=Anglicko-český\n"), std::string::npos);
    EXPECT_NE(entry.find("\nComment=Anglicko-český\n"), std::string::npos);
    EXPECT_NE(entry.find("\nPath=" + prog.dir.path() + "/\n"), std::string::npos);
    EXPECT_NE(entry.find("Exec=\"" + prog.dir.path() + "/zeph8\" \"/data/AC.di8\" \"Anglicko-český\"\n"), std::string::npos);
    EXPECT_EQ(CreateDesktopShortcut("/d/x.di8", "a/b", prog.dir.path()), "");
    EXPECT_EQ(CreateDesktopShortcut("/d/x.di8", "", prog.dir.path()), "");
    EXPECT_EQ(fs::list(home.path() + "/Desktop").size(), 1u);
}

TEST(Launch, DesktopFolderFromTheShellFoldersValue)
{
    test::IsolatedHome home;
    EXPECT_EQ(DesktopFolder(), home.path() + "/Desktop/");
    EXPECT_TRUE(reg::Key::exists(reg::Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"));
    reg::Key::open(reg::Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true)
        ->setText("Desktop", home.path() + "/Plocha");
    EXPECT_EQ(DesktopFolder(), home.path() + "/Plocha/");
    EXPECT_FALSE(CreateDesktopShortcut("/d/x.di8", "X", "/opt/p").empty());
    EXPECT_TRUE(fs::isFile(home.path() + "/Plocha/X.desktop"));
}

TEST(Launch, LauncherRunsTheStartCommandsOwnArgumentsEvenWithAQuoteInTheName)
{
    test::IsolatedHome home;
    const std::string name = "Ang\"lický 100%";
    std::string file = CreateDesktopShortcut("/data/a b.di8", name, "/opt/zeph");
    ASSERT_FALSE(file.empty());
    auto args = proc::splitCommandLine(StartCommand("/opt/zeph", "/data/a b.di8", name));
    ASSERT_EQ(args.size(), 4u);  // the quote in the name splits it, as it does the start command
    std::string exec;
    for (auto& a : args) exec += (exec.empty() ? "" : " ") + desktop_entry::execArgument(a);
    EXPECT_NE(test::readFile(file).find("\nExec=" + exec + "\n"), std::string::npos) << test::readFile(file);

    for (const char* bad : {"a\\b", "..", "."}) EXPECT_EQ(CreateDesktopShortcut("/d/x.di8", bad, "/opt/zeph"), "") << bad;
    EXPECT_EQ(fs::list(home.path() + "/Desktop").size(), 1u);
}
