#include "support/server_process.h"

#include "support/test_env.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zeph::test {

std::string supportScript(const std::string& name) { return sourceDir() + "/tests/support/" + name; }

ServerProcess::ServerProcess(const std::vector<std::string>& argv)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        // Dies with the test, and holds none of the test's output pipes open.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(out[1], 1);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        std::vector<std::string> copy = argv;
        std::vector<char*> args;
        for (auto& a : copy) args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos) {
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) break;
        char buf[64];
        ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, size_t(n));
    }
    close(out[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        throw std::runtime_error("the test server did not start: " + (argv.size() > 1 ? argv[1] : argv[0]));
    }
}

ServerProcess::~ServerProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

}  // namespace zeph::test
