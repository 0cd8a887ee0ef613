#include "platform/process.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace zeph;

TEST(Process, SplitsByTheWindowsQuotingRules)
{
    using V = std::vector<std::string>;
    struct Case { const char* line; V args; };
    const Case cases[] = {
        {"zeph8 -d \"C:\\Slovníky\\AC.di8\"", {"zeph8", "-d", "C:\\Slovníky\\AC.di8"}},
        {"\"C:\\Program Files\\x.exe\" a b", {"C:\\Program Files\\x.exe", "a", "b"}},
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},
        {"p \"a\\\\\" b", {"p", "a\\", "b"}},
        {"p a\\b\\c", {"p", "a\\b\\c"}},
        {"p \"say \"\"hi\"\"\"", {"p", "say \"hi\""}},
        {"p \"\"", {"p", ""}},
        {"  p   x\t y  ", {"p", "x", "y"}},
        {"", {}},
    };
    for (auto& c : cases) EXPECT_EQ(proc::splitCommandLine(c.line), c.args) << c.line;
    for (std::string arg : {"plain", "with space", "quote\"in", "trail\\", "back\\\\\"x", ""}) {
        auto back = proc::splitCommandLine("p " + proc::quoteArgument(arg));
        ASSERT_EQ(back.size(), 2u) << arg;
        EXPECT_EQ(back[1], arg);
    }
}

TEST(Process, StartsWaitsListsAndTerminates)
{
    test::TempDir dir;
    auto pid = proc::start("/bin/sh -c \"echo hi > out.txt; exit 3\"", {dir.path(), false});
    ASSERT_TRUE(pid);
    int pumps = 0;
    EXPECT_EQ(proc::wait(*pid, 10000, [&] { ++pumps; }).value_or(-1), 3);
    EXPECT_EQ(test::readFile(dir / "out.txt"), "hi\n");

    auto sleeper = proc::start("sleep 30");
    ASSERT_TRUE(sleeper);
    EXPECT_TRUE(proc::isRunning(*sleeper));
    EXPECT_FALSE(proc::wait(*sleeper, 100));  // a time-out, not an exit
    bool listed = false;
    for (auto& p : proc::list())
        if (p.pid == *sleeper) listed = p.exePath.find("sleep") != std::string::npos;
    EXPECT_TRUE(listed);
    EXPECT_TRUE(proc::terminate(*sleeper));
    EXPECT_EQ(proc::wait(*sleeper, 10000).value_or(-1), 128 + 9);
    EXPECT_FALSE(proc::isRunning(*sleeper));
    EXPECT_FALSE(proc::start("/no/such/program"));
}

TEST(Process, DetachedStartLeavesNoChild)
{
    test::TempDir dir;
    auto pid = proc::start("/bin/sh -c \"sleep 0.2; echo done > d.txt\"", {dir.path(), true, true});
    ASSERT_TRUE(pid);
    EXPECT_FALSE(proc::isRunning(*pid));  // the starter is gone at once
    for (int i = 0; i < 100 && test::readFile(dir / "d.txt").empty(); ++i) usleep(50000);
    EXPECT_EQ(test::readFile(dir / "d.txt"), "done\n");
}
