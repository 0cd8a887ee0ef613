// didi downloading a large package from a local HTTP server, against `curl -o` of the same file
// from the same server. Size: ZEPH_BENCH_DIDI_MB (default 1024).
#include "bench_support.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

struct Fixture {
    std::string dir, job, dest;
    int64_t size = 0;
    std::unique_ptr<bench::HttpServer> server;

    Fixture()
    {
        char tmpl[] = "/tmp/zeph-bench-didi-XXXXXX";
        dir = mkdtemp(tmpl);
        size = bench::sizeFromEnv("ZEPH_BENCH_DIDI_MB", 1024);
        bench::writeRandomFile(dir + "/srv/updates/zeph/db/BIG.dzp", size, 7);
        dest = dir + "/dl/";
        job = dir + "/upddb.inf";
        zeph::fs::writeFile(job, "[Up_0]\r\nCapt=BIG\r\nDest=" + dest + "\r\nSize=" + std::to_string(size) + "\r\n");
        server = std::make_unique<bench::HttpServer>("dbu_http_server.py", dir + "/srv");
    }
    ~Fixture()
    {
        server.reset();
        std::filesystem::remove_all(dir);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_CurlO(benchmark::State& state)
{
    Fixture& f = fixture();
    if (f.server->port() <= 0) return state.SkipWithError("server did not start");
    std::string out = f.dir + "/curl.out";
    for (auto _ : state) {
        if (bench::runQuiet({"curl", "-s", "--noproxy", "*", "-o", out, "http://" + f.server->host() + "/updates/zeph/db/BIG.dzp"})
                .exitCode != 0)
            state.SkipWithError("curl failed");
        std::filesystem::remove(out);
    }
    state.SetBytesProcessed(state.iterations() * f.size);
}
BENCHMARK(BM_CurlO)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_Didi(benchmark::State& state)
{
    Fixture& f = fixture();
    if (f.server->port() <= 0) return state.SkipWithError("server did not start");
    std::string didi = bench::binFolder() + "didi";
    for (auto _ : state) {
        if (bench::runQuiet({didi, "--console", "--server", f.server->host(), f.job}).exitCode != 0)
            state.SkipWithError("didi failed");
        std::filesystem::remove_all(f.dest);
    }
    state.SetBytesProcessed(state.iterations() * f.size);
}
BENCHMARK(BM_Didi)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
