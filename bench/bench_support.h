// Helpers shared by the benchmark programs: where they run from, quiet child programs with
// their peak memory, large generated files and the python HTTP servers of tests/support.
#pragma once

#include "platform/files.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

inline std::string binFolder() { return zeph::fs::folderOf(std::filesystem::read_symlink("/proc/self/exe").string()); }

inline std::string sourceFolder()
{
    const char* s = std::getenv("ZEPH_SOURCE_DIR");
    if (s && *s) return s;
    // build-*/bin/ lies inside the source tree.
    return std::filesystem::path(binFolder()).parent_path().parent_path().parent_path().string();
}

// A size in bytes from a variable holding MiB, else the default MiB.
inline int64_t sizeFromEnv(const char* variable, int64_t defaultMiB)
{
    const char* mb = std::getenv(variable);
    return int64_t(mb ? std::atoll(mb) : defaultMiB) << 20;
}

struct ChildResult {
    int exitCode = -1;
    long peakKiB = 0;
};

// Runs a program (looked up on PATH) with its output thrown away.
inline ChildResult runQuiet(const std::vector<std::string>& argv)
{
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = ::open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

// A file of `size` pseudo-random bytes (a multiple of 1 MiB).
inline void writeRandomFile(const std::string& path, int64_t size, uint32_t seed)
{
    std::filesystem::create_directories(zeph::fs::folderOf(path));
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> buf(1 << 20);
    for (int64_t done = 0; done < size; done += int64_t(buf.size())) {
        for (char& c : buf) c = char((seed = seed * 1664525u + 1013904223u) >> 24);
        ssize_t w = ::write(fd, buf.data(), buf.size());
        (void)w;
    }
    ::close(fd);
}

// tests/support/<script> serving `root` on 127.0.0.1 while the object lives; port 0 when it
// did not start.
class HttpServer {
public:
    HttpServer(const std::string& script, const std::string& root)
    {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(out[1], 1);
            std::string path = sourceFolder() + "/tests/support/" + script;
            execlp("python3", "python3", path.c_str(), root.c_str(), (char*)nullptr);
            _exit(127);
        }
        ::close(out[1]);
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, 20000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        port_ = std::atoi(line.c_str());
    }
    ~HttpServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace bench
