// Unpacking and verifying a large package against a plain zlib inflate of the same body into a
// file, and the peak memory of `zephtool unpack` / `zephtool verify` on it.
// Size: ZEPH_BENCH_PACKAGE_MB (default 1024).
#include "bench_support.h"
#include "dbupdate/package.h"
#include "platform/files.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

struct Fixture {
    std::string dir, package;
    int64_t size = 0;
    int64_t bodyLength = 0;

    Fixture()
    {
        char tmpl[] = "/tmp/zeph-bench-pkg-XXXXXX";
        dir = mkdtemp(tmpl);
        size = bench::sizeFromEnv("ZEPH_BENCH_PACKAGE_MB", 1024);
        // Database-like data: a small alphabet in pseudo-random order compresses about 2:1.
        std::string input = dir + "/input.di8";
        {
            int fd = ::open(input.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            std::vector<char> buf(1 << 20);
            uint32_t x = 1;
            const char alphabet[] = "etaoinshrdlucmfw";
            for (int64_t done = 0; done < size; done += int64_t(buf.size())) {
                for (char& c : buf) {
                    x = x * 1664525u + 1013904223u;
                    c = alphabet[x >> 28];
                }
                ssize_t w = ::write(fd, buf.data(), buf.size());
                (void)w;
            }
            ::close(fd);
        }
        package = dir + "/input.dzp";
        zeph::dbu::PackFile(input, package, "bench.di8", 1);
        std::filesystem::remove(input);
        zeph::dbu::FileStream in(package, zeph::dbu::FileStream::Mode::Read);
        bodyLength = zeph::dbu::ReadTrailer(in)->bodyLength;
    }
    ~Fixture() { std::filesystem::remove_all(dir); }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// The reference: inflate the body into a new file, nothing else.
void BM_PlainInflateToFile(benchmark::State& state)
{
    Fixture& f = fixture();
    std::string out = f.dir + "/plain.out";
    for (auto _ : state) {
        int in = ::open(f.package.c_str(), O_RDONLY);
        int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        z_stream zs{};
        inflateInit(&zs);
        std::vector<unsigned char> src(65536), dst(256 * 1024);
        int rc = Z_OK;
        while (rc != Z_STREAM_END) {
            ssize_t n = ::read(in, src.data(), src.size());
            if (n <= 0) break;
            zs.next_in = src.data();
            zs.avail_in = uInt(n);
            do {
                zs.next_out = dst.data();
                zs.avail_out = uInt(dst.size());
                rc = inflate(&zs, Z_NO_FLUSH);
                ssize_t w = ::write(fd, dst.data(), dst.size() - zs.avail_out);
                (void)w;
            } while (zs.avail_out == 0 && rc == Z_OK);
            if (rc != Z_OK && rc != Z_STREAM_END) break;
        }
        inflateEnd(&zs);
        ::close(fd);
        ::close(in);
        std::filesystem::remove(out);
    }
    state.SetBytesProcessed(state.iterations() * f.size);
}
BENCHMARK(BM_PlainInflateToFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UnpackFile(benchmark::State& state)
{
    Fixture& f = fixture();
    std::string outDir = f.dir + "/out";
    std::filesystem::create_directories(outDir);
    for (auto _ : state) {
        std::string dest;
        if (!zeph::dbu::UnpackFile(f.package, outDir, dest)) state.SkipWithError("not verified");
        std::filesystem::remove(dest);
    }
    state.SetBytesProcessed(state.iterations() * f.size);
}
BENCHMARK(BM_UnpackFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_VerifyPackage(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        if (!zeph::dbu::VerifyPackage(f.package)) state.SkipWithError("not verified");
    state.SetBytesProcessed(state.iterations() * f.size);
}
BENCHMARK(BM_VerifyPackage)->Unit(benchmark::kMillisecond)->Iterations(3);

// Peak resident memory of the real tool in MiB; -1 when it failed.
double peakMiB(const std::vector<std::string>& argv)
{
    bench::ChildResult r = bench::runQuiet(argv);
    return r.exitCode == 0 ? double(r.peakKiB) / 1024.0 : -1.0;
}

void BM_PeakMemoryOfTool(benchmark::State& state)
{
    Fixture& f = fixture();
    std::string tool = bench::binFolder() + "zephtool";
    std::string outDir = f.dir + "/out2";
    std::filesystem::create_directories(outDir);
    double unpack = 0, verify = 0;
    for (auto _ : state) {
        unpack = peakMiB({tool, "unpack", f.package, outDir});
        verify = peakMiB({tool, "verify", f.package});
        std::filesystem::remove(outDir + "/bench.di8");
    }
    state.counters["unpack_peak_MiB"] = unpack;
    state.counters["verify_peak_MiB"] = verify;
    state.counters["package_MiB"] = double(f.size >> 20);
}
BENCHMARK(BM_PeakMemoryOfTool)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
