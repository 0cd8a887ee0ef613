// The update engine's DownloadFile fetching a large file from a local HTTP server, against
// `curl -o` of the same file from the same server. Size: ZEPH_BENCH_DOWNLOAD_MB (default 1024).
#include "bench_support.h"
#include "netupdate/netupdate.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

struct Fixture {
    std::string dir;
    int64_t size = 0;
    std::unique_ptr<bench::HttpServer> server;

    Fixture()
    {
        char tmpl[] = "/tmp/zeph-bench-download-XXXXXX";
        dir = mkdtemp(tmpl);
        size = bench::sizeFromEnv("ZEPH_BENCH_DOWNLOAD_MB", 1024);
        bench::writeRandomFile(dir + "/srv/big.bin", size, 11);
        std::filesystem::create_directories(dir + "/out");
        // Temporary files beside the targets, as on a system whose temporary folder is local.
        setenv("TMPDIR", (dir + "/out").c_str(), 1);
        server = std::make_unique<bench::HttpServer>("nu_http_server.py", dir + "/srv");
    }
    ~Fixture()
    {
        server.reset();
        std::filesystem::remove_all(dir);
    }
    std::string url() const { return "http://" + server->host() + "/big.bin"; }
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
    std::string out = f.dir + "/out/curl.bin";
    for (auto _ : state) {
        if (bench::runQuiet({"curl", "-s", "--noproxy", "*", "-o", out, f.url()}).exitCode != 0) state.SkipWithError("curl failed");
        std::filesystem::remove(out);
    }
    state.SetBytesProcessed(state.iterations() * f.size);
}

void BM_DownloadFile(benchmark::State& state)
{
    Fixture& f = fixture();
    if (f.server->port() <= 0) return state.SkipWithError("server did not start");
    setenv("no_proxy", "*", 1);
    zeph::nu::TNetUpdate nu;
    zeph::nu::ApplyControlPanelSettings(nu);
    nu.URL = f.url();
    int64_t events = 0;
    nu.OnFileProgress = [&events](zeph::nu::TNetUpdate&, const std::string&, int64_t, int64_t) { ++events; };
    if (nu.OpenConnection() != 0) return state.SkipWithError("no session");
    for (auto _ : state) {
        if (!nu.DownloadFile(nu.ConnectionHandle, f.url(), f.dir + "/out/")) state.SkipWithError("download failed");
        std::filesystem::remove(f.dir + "/out/big.bin");
    }
    nu.CloseConnection();
    state.SetBytesProcessed(state.iterations() * f.size);
    state.counters["progress_events"] = double(events) / double(state.iterations());
}

BENCHMARK(BM_CurlO)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DownloadFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
