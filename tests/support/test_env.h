// Test environment helpers: fresh temporary folders, an isolated HOME, running programs.
#pragma once

#include <string>
#include <vector>

namespace zeph::test {

// A fresh folder, removed with its contents when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "zeph-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // without a trailing "/"
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Points HOME (and with it every XDG folder, the HKCU hive and the HKLM hive) at a fresh
// folder for the life of the object; restores the previous environment afterwards.
// The shared test main already gives every test program one such home; use this for a
// fresh one inside a single test.
class IsolatedHome {
public:
    IsolatedHome();
    ~IsolatedHome();
    const std::string& path() const { return dir_.path(); }

private:
    TempDir dir_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

// Sets up the isolated environment of a test process (called by the shared test main).
void isolateProcessEnvironment();

// build/bin of the build under test, and the source tree.
std::string binDir();
std::string sourceDir();

struct RunResult {
    int exitCode = -1;       // 128+signal when killed by a signal
    bool signaled = false;
    std::string out, err;
};
// Runs argv[0] (a path, or a name on PATH) with the arguments, optional standard input,
// capturing output. Kills it after timeoutMs.
RunResult run(const std::vector<std::string>& argv, const std::string& stdinText = "",
              int timeoutMs = 60000);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& data);

}  // namespace zeph::test
