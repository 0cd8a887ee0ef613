#include "desktop/one_instance.h"
#include "support/test_env.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zeph;
using namespace zeph::desk;

namespace {

// The probe program in the background, its standard output read line by line.
struct Probe {
    pid_t pid = -1;
    int out = -1;
    Probe()
    {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            std::string exe = test::binDir() + "/one-instance-probe";
            execl(exe.c_str(), exe.c_str(), nullptr);
            _exit(127);
        }
        close(fds[1]);
        out = fds[0];
    }
    std::string line(int timeoutMs = 10000)
    {
        std::string s;
        char c;
        pollfd p{out, POLLIN, 0};
        while (poll(&p, 1, timeoutMs) > 0 && read(out, &c, 1) == 1 && c != '\n') s += c;
        return s;
    }
    void kill9()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    ~Probe()
    {
        kill9();
        if (out >= 0) close(out);
    }
};

}  // namespace

TEST(OneInstance, NamesOfTheIdentity)
{
    TOneInstance one("Zephlon 8 - ovládací panel");
    EXPECT_EQ(one.mutexName("CriticalSection"), "Zephlon 8 - ovládací panel.OneInstance.CriticalSection");
    EXPECT_EQ(one.mutexName("Default"), "Zephlon 8 - ovládací panel.OneInstance.Default");
    one.Identifier = "\\x";
    EXPECT_EQ(one.baseName(), "Zephlon 8 - ovládací panel/x.OneInstance.");
    one.ExeNameAsIdentifier = true;
    EXPECT_EQ(one.baseName().find("ZEPH"), std::string::npos);  // the upper-cased program path, not the title
    EXPECT_NE(one.baseName().find("TEST_DESKTOP"), std::string::npos);
}

TEST(OneInstance, SecondCopyEndsAndTheFirstIsCalledToTheFront)
{
    test::IsolatedHome home;
    Probe first;
    ASSERT_EQ(first.line(), "first");
    auto second = test::run({test::binDir() + "/one-instance-probe"}, "", 10000);
    EXPECT_EQ(second.exitCode, 3);
    EXPECT_EQ(second.out, "second\n");
    EXPECT_EQ(first.line(), "front");

    // A copy that was killed frees its lock: the next one runs as the first.
    first.kill9();
    Probe next;
    EXPECT_EQ(next.line(), "first");
}

TEST(OneInstance, MessageOnlyWhenAskedAndTheHookMayKeepTheCopy)
{
    test::IsolatedHome home;
    TOneInstance holder("T");
    ASSERT_FALSE(holder.IsAnotherRunning());
    TOneInstance second("T");
    second.ActivatePrevInstance = false;
    second.ShowMessage = true;
    second.OnShowMessage = [](TOneInstance&, bool& terminate) { terminate = false; };
    EXPECT_FALSE(second.Check(nullptr));
}
