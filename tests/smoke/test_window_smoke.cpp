// The real program under Xvfb with a window manager and a real tray host: found by its caption, minimised into the
// tray, called back by a second copy, closed from the title bar; the settings land in the hive.
#include "support/test_env.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zeph::test;

namespace {

const std::string kCaption = "Zephlon 8 - Ovládací panel";

pid_t spawn(const std::vector<std::string>& argv, int keepFd = -1)
{
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        (void)keepFd;
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t pid)
{
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool onPath(const char* program)
{
    return run({"sh", "-c", std::string("command -v ") + program}).exitCode == 0;
}

// An X server of its own on a free display, with a tray host.
class Display {
public:
    Display()
    {
        int fds[2];
        if (pipe(fds) != 0) return;
        xvfb_ = fork();
        if (xvfb_ == 0) {
            close(fds[0]);
            int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 1);
            dup2(devnull, 2);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr);
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return;
        name_ = ":" + number;
        setenv("DISPLAY", name_.c_str(), 1);
        unsetenv("QT_QPA_PLATFORM");
        wm_ = spawn({"openbox", "--sm-disable"});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        tray_ = spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    ~Display()
    {
        stop(tray_);
        stop(wm_);
        stop(xvfb_);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    bool ok() const { return !name_.empty(); }

private:
    pid_t xvfb_ = -1, wm_ = -1, tray_ = -1;
    std::string name_;
};

std::string findWindow(bool onlyVisible, int timeoutMs = 15000)
{
    for (int waited = 0; waited < timeoutMs; waited += 200) {
        std::vector<std::string> args = {"xdotool", "search"};
        if (onlyVisible) args.push_back("--onlyvisible");
        args.insert(args.end(), {"--name", "^" + kCaption + "$"});
        auto r = run(args);
        if (r.exitCode == 0 && !r.out.empty()) return r.out.substr(0, r.out.find('\n'));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return "";
}

std::string regGet(const std::string& name)
{
    auto r = run({binDir() + "/zephtool", "reg", "get", "HKCU\\Software\\Varnholt\\Zephlon8\\Control", name});
    return r.exitCode == 0 ? r.out : "";
}

}  // namespace

TEST(WindowSmoke, MinimisesIntoTheTrayAndSavesOnClose)
{
    if (!onPath("Xvfb") || !onPath("xdotool") || !onPath("trayer") || !onPath("openbox"))
        GTEST_SKIP() << "Xvfb, xdotool, openbox or trayer missing";
    IsolatedHome home;
    // One dictionary listed, so that no start-up question stands in front of the window.
    ASSERT_EQ(run({binDir() + "/zephtool", "reg", "set", "HKCU\\Software\\Varnholt\\Zephlon8\\Profiles\\#d#a.di8",
                   "DataSource", "/d/a.di8"}).exitCode, 0);
    Display display;
    ASSERT_TRUE(display.ok());

    // First run: minimising hides the window into the tray.
    pid_t app = spawn({binDir() + "/quelder8"});
    std::string win = findWindow(true);
    ASSERT_FALSE(win.empty()) << "no window with the caption";
    run({"xdotool", "windowminimize", win});
    bool hidden = false;
    for (int i = 0; i < 50 && !hidden; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        hidden = run({"xdotool", "search", "--onlyvisible", "--name", "^" + kCaption + "$"}).out.empty();
    }
    EXPECT_TRUE(hidden) << "the window stayed visible after minimising";
    int status = 0;
    EXPECT_EQ(waitpid(app, &status, WNOHANG), 0) << "the program ended when minimised";

    // A second copy ends at once and calls the first one's window back to the front.
    auto second = run({binDir() + "/quelder8"}, "", 20000);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_FALSE(findWindow(true, 10000).empty()) << "the first copy did not come to the front";
    EXPECT_EQ(waitpid(app, &status, WNOHANG), 0);
    stop(app);

    // Second run: closed from the title bar (the window manager's close), the program ends and
    // saves the section "Control".
    app = spawn({binDir() + "/quelder8"});
    win = findWindow(true);
    ASSERT_FALSE(win.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    run({"xdotool", "windowactivate", "--sync", win});
    run({"xdotool", "key", "alt+F4"});
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ended = waitpid(app, &status, WNOHANG) == app;
    }
    if (!ended) stop(app);
    ASSERT_TRUE(ended) << "the program did not end when closed";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(regGet("FirstStart"), "0\n");
    EXPECT_EQ(regGet("ProgramFolder"), binDir() + "/\n");
}
