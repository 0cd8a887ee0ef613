// Checksums over a 256 MiB file against the plain loops they are bounded by: a byte-at-a-time
// table loop of the standard CRC-32, and a plain summing loop, over the same file.
#include "netupdate/checksum.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& dataFile()
{
    static const std::string path = [] {
        std::string p = "/tmp/zeph-bench-checksum.bin";
        std::vector<unsigned char> block(1 << 20);
        std::mt19937 rng(1);
        for (auto& b : block) b = (unsigned char)rng();
        FILE* f = std::fopen(p.c_str(), "wb");
        for (int i = 0; i < 256; ++i) std::fwrite(block.data(), 1, block.size(), f);
        std::fclose(f);
        return p;
    }();
    return path;
}

template <typename Step>
void plainRead(Step step)
{
    int fd = open(dataFile().c_str(), O_RDONLY);
    unsigned char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) step(buf, size_t(n));
    close(fd);
}

void BM_FileCRC32(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(zeph::nu::FileCRC32(dataFile()));
    state.SetBytesProcessed(int64_t(state.iterations()) * (256 << 20));
}

void BM_StandardCrc32Loop(benchmark::State& state)
{
    uint32_t table[256];
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1) ? 0xEDB88320u : 0);
        table[i] = c;
    }
    for (auto _ : state) {
        uint32_t c = 0xFFFFFFFFu;
        plainRead([&](const unsigned char* d, size_t n) {
            for (size_t i = 0; i < n; ++i) c = table[(c ^ d[i]) & 0xFF] ^ (c >> 8);
        });
        benchmark::DoNotOptimize(c);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * (256 << 20));
}

void BM_ByteSumChecksum(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(zeph::nu::ByteSumChecksum(dataFile()));
    state.SetBytesProcessed(int64_t(state.iterations()) * (256 << 20));
}

void BM_PlainSumLoop(benchmark::State& state)
{
    for (auto _ : state) {
        uint32_t s = 0xFFFFFFFFu;
        plainRead([&](const unsigned char* d, size_t n) {
            for (size_t i = 0; i < n; ++i) s += d[i];
        });
        benchmark::DoNotOptimize(s);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * (256 << 20));
}

BENCHMARK(BM_FileCRC32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandardCrc32Loop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ByteSumChecksum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSumLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
