// Starting and watching processes, in place of WinExec / CreateProcess and the process snapshot.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zeph::proc {

// Splits a Windows command line into arguments by the Windows quoting rules
// (CommandLineToArgvW: backslashes before quotes, "" inside quotes, the program name plain).
std::vector<std::string> splitCommandLine(const std::string& commandLine);
// The reverse: quotes an argument so that splitCommandLine gives it back.
std::string quoteArgument(const std::string& arg);

struct StartOptions {
    std::string workingDir;  // empty: the caller's
    bool quiet = false;      // send standard output and error to /dev/null
    bool detach = false;     // not our child: nothing to wait for, no zombie left behind
};

// Starts the program of the command line ("\" in its path taken as "/"). A program without a
// folder is looked up on PATH. Returns the process id, or nullopt when it cannot be started.
std::optional<pid_t> start(const std::string& commandLine, const StartOptions& opts = {});
std::optional<pid_t> startArgs(const std::vector<std::string>& argv, const StartOptions& opts = {});

// Waits for a process we started; its exit code (128+signal when killed), nullopt on timeout.
// timeoutMs < 0 waits for ever. pump, when given, runs every 50 ms while waiting.
std::optional<int> wait(pid_t pid, int timeoutMs = -1, const std::function<void()>& pump = {});
bool isRunning(pid_t pid);

struct ProcessInfo {
    pid_t pid;
    std::string exePath;  // from /proc/<pid>/exe, "" when not readable
};
std::vector<ProcessInfo> list();
bool terminate(pid_t pid);  // SIGKILL, like TerminateProcess

}  // namespace zeph::proc
