// Registry hive throughput: one value written (one transaction each) and read back.
#include "platform/registry.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

struct ScratchHome {
    std::string dir;
    ScratchHome()
    {
        char tmpl[] = "/tmp/zeph-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("HOME", dir.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    ~ScratchHome() { std::filesystem::remove_all(dir); }
};

void BM_RegistryWrite(benchmark::State& state)
{
    ScratchHome home;
    auto key = *zeph::reg::Key::open(zeph::reg::Root::CurrentUser, "Software\\Varnholt\\Zephlon8\\Bench", true);
    int i = 0;
    for (auto _ : state) key.setText("v" + std::to_string(i++ % 100), "value");
}
BENCHMARK(BM_RegistryWrite);

void BM_RegistryRead(benchmark::State& state)
{
    ScratchHome home;
    auto key = *zeph::reg::Key::open(zeph::reg::Root::CurrentUser, "Software\\Varnholt\\Zephlon8\\Bench", true);
    key.setText("FormLeft", "10");
    for (auto _ : state) benchmark::DoNotOptimize(key.getText("formleft"));
}
BENCHMARK(BM_RegistryRead);

}  // namespace

BENCHMARK_MAIN();
