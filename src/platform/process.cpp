#include "platform/process.h"

#include "platform/files.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zeph::proc {

std::vector<std::string> splitCommandLine(const std::string& cmd)
{
    std::vector<std::string> args;
    size_t i = 0, n = cmd.size();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (i < n && blank(cmd[i])) ++i;
    if (i >= n) return args;
    // The program name: plain, or up to the next quote; no escapes.
    std::string prog;
    if (cmd[i] == '"') {
        ++i;
        while (i < n && cmd[i] != '"') prog += cmd[i++];
        if (i < n) ++i;
    } else {
        while (i < n && !blank(cmd[i])) prog += cmd[i++];
    }
    args.push_back(prog);
    for (;;) {
        while (i < n && blank(cmd[i])) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !blank(cmd[i]))) {
            if (cmd[i] == '\\') {
                size_t bs = 0;
                while (i < n && cmd[i] == '\\') ++bs, ++i;
                if (i < n && cmd[i] == '"') {
                    arg.append(bs / 2, '\\');
                    if (bs % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(bs, '\\');
                }
            } else if (cmd[i] == '"') {
                if (quoted && i + 1 < n && cmd[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += cmd[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::string quoteArgument(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t bs = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++bs;
            continue;
        }
        if (c == '"') {
            out.append(bs * 2 + 1, '\\');
            out += '"';
        } else {
            out.append(bs, '\\');
            out += c;
        }
        bs = 0;
    }
    out.append(bs * 2, '\\');
    return out + "\"";
}

std::optional<pid_t> startArgs(const std::vector<std::string>& argvIn, const StartOptions& opts)
{
    if (argvIn.empty() || argvIn[0].empty()) return std::nullopt;
    std::vector<std::string> argv = argvIn;
    argv[0] = fs::toNative(argv[0]);
    if (opts.detach) {
        // A shell that starts the program in the background and ends at once.
        std::vector<std::string> viaShell = {"/bin/sh", "-c", "\"$0\" \"$@\" &"};
        viaShell.insert(viaShell.end(), argv.begin(), argv.end());
        StartOptions o = opts;
        o.detach = false;
        auto shell = startArgs(viaShell, o);
        if (!shell) return std::nullopt;
        auto rc = wait(*shell, 10000);
        return rc && *rc == 0 ? shell : std::nullopt;
    }
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (!opts.workingDir.empty()) posix_spawn_file_actions_addchdir_np(&fa, fs::toNative(opts.workingDir).c_str());
    if (opts.quiet) {
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    }
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // The child starts with default signal handling whatever the host set up.
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    bool hasSlash = argv[0].find('/') != std::string::npos;
    int rc = hasSlash ? posix_spawn(&pid, args[0], &fa, &attr, args.data(), environ)
                      : posix_spawnp(&pid, args[0], &fa, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return std::nullopt;
    return pid;
}

std::optional<pid_t> start(const std::string& commandLine, const StartOptions& opts)
{
    return startArgs(splitCommandLine(commandLine), opts);
}

std::optional<int> wait(pid_t pid, int timeoutMs, const std::function<void()>& pump)
{
    using clock = std::chrono::steady_clock;
    auto startAt = clock::now();
    auto lastPump = startAt;
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
        if (r < 0 && errno != EINTR) return std::nullopt;
        auto now = clock::now();
        if (timeoutMs >= 0 && now - startAt >= std::chrono::milliseconds(timeoutMs)) return std::nullopt;
        if (pump && now - lastPump >= std::chrono::milliseconds(50)) {
            pump();
            lastPump = now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pump ? 10 : 5));
    }
}

bool isRunning(pid_t pid)
{
    if (pid <= 0 || ::kill(pid, 0) != 0) return false;
    // A zombie has ended, even before it is reaped.
    std::string stat;
    if (!fs::readFile("/proc/" + std::to_string(pid) + "/stat", stat)) return true;
    size_t close = stat.rfind(')');
    return !(close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z');
}

std::vector<ProcessInfo> list()
{
    std::vector<ProcessInfo> out;
    DIR* d = ::opendir("/proc");
    if (!d) return out;
    while (dirent* e = ::readdir(d)) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (*end || pid <= 0) continue;
        char buf[4096];
        std::string link = "/proc/" + std::string(e->d_name) + "/exe";
        ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
        std::string exe = n > 0 ? std::string(buf, n) : std::string();
        const std::string deleted = " (deleted)";
        if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
            exe.resize(exe.size() - deleted.size());
        out.push_back({pid_t(pid), exe});
    }
    ::closedir(d);
    return out;
}

bool terminate(pid_t pid) { return pid > 0 && ::kill(pid, SIGKILL) == 0; }

}  // namespace zeph::proc
