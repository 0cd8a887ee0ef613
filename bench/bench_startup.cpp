// Start-up of the control panel against a bare Qt Widgets window, each to its first shown
// window on the offscreen platform: wall time per start and peak resident memory.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

void isolate()
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
}

void startup(benchmark::State& state, const std::string& name)
{
    isolate();
    std::string program = binDir() + "/" + name;
    long rss = 0;
    for (auto _ : state) rss = runOnce(program);
    state.counters["peak_rss_kib"] = double(rss);
}

void BM_Quelder8(benchmark::State& state) { startup(state, "quelder8"); }
void BM_BareQtWindow(benchmark::State& state) { startup(state, "bare_window"); }
// The two programs started in turn, so that a machine whose speed drifts during the run weighs
// on both alike: the medians of the time and memory ratios.
void BM_PairedRatio(benchmark::State& state)
{
    isolate();
    const std::string ours = binDir() + "/quelder8", bare = binDir() + "/bare_window";
    std::vector<double> times, memory;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        long oursRss = runOnce(ours);
        auto t1 = std::chrono::steady_clock::now();
        long bareRss = runOnce(bare);
        auto t2 = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double>(t1 - t0) / std::chrono::duration<double>(t2 - t1));
        memory.push_back(double(oursRss) / double(bareRss));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["time_ratio"] = median(times);
    state.counters["memory_ratio"] = median(memory);
}

BENCHMARK(BM_Quelder8)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_BareQtWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_PairedRatio)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

}  // namespace

BENCHMARK_MAIN();
