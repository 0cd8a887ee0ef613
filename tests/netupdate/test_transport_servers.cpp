#include "test_transport_servers.h"

#include "support/test_env.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nutest {

std::string supportScript(const std::string& name) { return zeph::test::sourceDir() + "/tests/support/" + name; }

ServerProcess::ServerProcess(const std::vector<std::string>& argv)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test
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
        throw std::runtime_error("the test server did not start: " + argv[1]);
    }
}

ServerProcess::~ServerProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

namespace {
std::vector<std::string> withOptions(std::vector<std::string> argv, const std::vector<std::string>& options)
{
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
}
}  // namespace

HttpServer::HttpServer(const std::string& root, const std::vector<std::string>& options)
    : ServerProcess(withOptions({"python3", supportScript("nu_http_server.py"), root}, options))
{
}

std::string HttpServer::url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port()) + path; }

FtpServer::FtpServer(const std::string& root, const std::vector<std::string>& options)
    : ServerProcess(withOptions({"/usr/bin/python3", supportScript("nu_ftp_server.py"), root}, options))
{
}

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) out.push_back(line);
    return out;
}

}  // namespace nutest
