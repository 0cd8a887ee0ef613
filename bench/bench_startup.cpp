// Start-up of the control panel against a bare Qt Widgets window, each to its first shown
// window on the offscreen platform: wall time per start and peak resident memory.
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string binDir()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    buf[n > 0 ? n : 0] = 0;
    return std::filesystem::path(buf).parent_path().string();
}

// Runs the program once; its peak resident memory in KiB.
long runOnce(const std::string& program)
{
    pid_t pid = fork();
    if (pid == 0) {
        execl(program.c_str(), program.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return usage.ru_maxrss;
}

void startup(benchmark::State& state, const std::string& name)
{
    static std::string home = [] {
        char tmpl[] = "/tmp/zeph-bench-home-XXXXXX";
        std::string h = mkdtemp(tmpl);
        setenv("HOME", h.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", h.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("ZEPH_QUIT_AFTER_SHOW", "1", 1);
        return h;
    }();
    std::string program = binDir() + "/" + name;
    long rss = 0;
    for (auto _ : state) rss = runOnce(program);
    state.counters["peak_rss_kib"] = double(rss);
}

void BM_Quelder8(benchmark::State& state) { startup(state, "quelder8"); }
void BM_BareQtWindow(benchmark::State& state) { startup(state, "bare_window"); }
BENCHMARK(BM_Quelder8)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_BareQtWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
