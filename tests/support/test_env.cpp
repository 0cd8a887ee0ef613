#include "support/test_env.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zeph::test {

namespace {
const char* kIsolatedVars[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR",
                               "XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR", "ZEPH_HKLM_HIVE",
                               "ZEPH_UPDATE_SERVER"};

void pointHomeAt(const std::string& home)
{
    setenv("HOME", home.c_str(), 1);
    for (const char* v : kIsolatedVars) unsetenv(v);
    std::filesystem::create_directories(home + "/etc");
    setenv("ZEPH_HKLM_HIVE", (home + "/etc/hklm.db").c_str(), 1);
    std::filesystem::create_directories(home + "/run");
    chmod((home + "/run").c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
}
}  // namespace

TempDir::TempDir(const std::string& prefix)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

IsolatedHome::IsolatedHome() : dir_("zeph-home")
{
    for (const char* v : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR",
                          "XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR", "ZEPH_HKLM_HIVE", "ZEPH_UPDATE_SERVER"}) {
        const char* val = std::getenv(v);
        saved_.emplace_back(v, val ? std::string(val) : std::string("\x01"));
    }
    pointHomeAt(dir_.path());
}

IsolatedHome::~IsolatedHome()
{
    for (auto& [name, val] : saved_) {
        if (val == "\x01") unsetenv(name.c_str());
        else setenv(name.c_str(), val.c_str(), 1);
    }
}

void isolateProcessEnvironment()
{
    // One home for the whole test program, left behind in TMPDIR only when it is not cleaned.
    static TempDir* home = new TempDir("zeph-home");
    pointHomeAt(home->path());
    setenv("LC_ALL", "cs_CZ.UTF-8", 1);
    setenv("LANG", "cs_CZ.UTF-8", 1);
    std::atexit([] {
        delete home;
    });
}

std::string binDir()
{
    const char* b = std::getenv("ZEPH_BUILD_BIN");
    if (b && *b) return b;
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "build/bin";
    buf[n] = 0;
    return std::filesystem::path(buf).parent_path().string();
}

std::string sourceDir()
{
    const char* s = std::getenv("ZEPH_SOURCE_DIR");
    return s && *s ? s : ZEPH_SOURCE_DIR_DEFAULT;
}

RunResult run(const std::vector<std::string>& argv, const std::string& stdinText, int timeoutMs)
{
    RunResult r;
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!stdinText.empty()) {
        signal(SIGPIPE, SIG_IGN);
        ssize_t w = write(in[1], stdinText.data(), stdinText.size());
        (void)w;
    }
    close(in[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        int left = (int)std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (poll(fds, 2, left) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buf[65536];
                ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n > 0) (i == 0 ? r.out : r.err).append(buf, n);
                else {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }
    for (auto& f : fds) if (f.fd >= 0) close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) {
        r.signaled = true;
        r.exitCode = 128 + WTERMSIG(status);
    } else {
        r.exitCode = WEXITSTATUS(status);
    }
    if (killed) r.err += "\n[killed after timeout]";
    return r;
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& data)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << data;
}

}  // namespace zeph::test
