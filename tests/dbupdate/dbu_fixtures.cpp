#include "dbu_fixtures.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dbutest {

std::string supportScript(const std::string& name)
{
    std::string root = zeph::test::sourceDir();
    if (root == ".") root = DBU_SOURCE_DIR;
    return root + "/tests/support/" + name;
}

HttpServer::HttpServer(const std::string& root, const std::vector<std::string>& options)
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
        std::vector<std::string> argv = {"python3", supportScript("dbu_http_server.py"), root};
        argv.insert(argv.end(), options.begin(), options.end());
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
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
        throw std::runtime_error("the test HTTP server did not start");
    }
}

HttpServer::~HttpServer()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int closedPort()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);  // nothing listens there any more
    return ntohs(a.sin_port);
}

void pyPackage(const std::string& input, const std::string& output, const std::string& storedName,
               const std::vector<std::string>& extra)
{
    std::vector<std::string> argv = {"python3", supportScript("dbu_package.py"), "write", input, output, "--name",
                                     storedName};
    argv.insert(argv.end(), extra.begin(), extra.end());
    auto r = zeph::test::run(argv);
    if (r.exitCode != 0) throw std::runtime_error("dbu_package.py write failed: " + r.err);
}

std::string pyReadPackage(const std::string& package, const std::string& out)
{
    auto r = zeph::test::run({"python3", supportScript("dbu_package.py"), "read", package, out});
    if (r.exitCode != 0) throw std::runtime_error("dbu_package.py read failed: " + r.err);
    while (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
    return r.out;
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace dbutest
