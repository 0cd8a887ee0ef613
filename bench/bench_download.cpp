// The update engine's DownloadFile fetching a large file from a local HTTP server, against
// `curl -o` of the same file from the same server. Size: ZEPH_BENCH_DOWNLOAD_MB (default 1024).
#include "netupdate/netupdate.h"
#include "platform/files.h"

#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string binFolder() { return zeph::fs::folderOf(std::filesystem::read_symlink("/proc/self/exe").string()); }

std::string sourceFolder()
{
    const char* s = std::getenv("ZEPH_SOURCE_DIR");
    if (s && *s) return s;
    return std::filesystem::path(binFolder()).parent_path().parent_path().parent_path().string();
}

int runQuiet(const std::vector<std::string>& argv)
{
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = ::open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Fixture {
    std::string dir;
    int64_t size = 0;
    pid_t server = -1;
    int port = 0;

    Fixture()
    {
        char tmpl[] = "/tmp/zeph-bench-download-XXXXXX";
        dir = mkdtemp(tmpl);
        const char* mb = std::getenv("ZEPH_BENCH_DOWNLOAD_MB");
        size = int64_t(mb ? std::atoll(mb) : 1024) << 20;
        std::filesystem::create_directories(dir + "/srv");
        std::filesystem::create_directories(dir + "/out");
        int fd = ::open((dir + "/srv/big.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char> buf(1 << 20);
        uint32_t x = 11;
        for (int64_t done = 0; done < size; done += int64_t(buf.size())) {
            for (char& c : buf) c = char((x = x * 1664525u + 1013904223u) >> 24);
            ssize_t w = ::write(fd, buf.data(), buf.size());
            (void)w;
        }
        ::close(fd);
        // Temporary files beside the targets, as on a system whose temporary folder is local.
        setenv("TMPDIR", (dir + "/out").c_str(), 1);

        int out[2];
        if (pipe(out) != 0) return;
        server = fork();
        if (server == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(out[1], 1);
            std::string script = sourceFolder() + "/tests/support/nu_http_server.py";
            std::string root = dir + "/srv";
            execlp("python3", "python3", script.c_str(), root.c_str(), (char*)nullptr);
            _exit(127);
        }
        ::close(out[1]);
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, 20000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        port = std::atoi(line.c_str());
    }
    ~Fixture()
    {
        if (server > 0) {
            kill(server, SIGKILL);
            waitpid(server, nullptr, 0);
        }
        std::filesystem::remove_all(dir);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port) + "/big.bin"; }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_CurlO(benchmark::State& state)
{
    Fixture& f = fixture();
    if (f.port <= 0) return state.SkipWithError("server did not start");
    std::string out = f.dir + "/out/curl.bin";
    for (auto _ : state) {
        if (runQuiet({"curl", "-s", "--noproxy", "*", "-o", out, f.url()}) != 0) state.SkipWithError("curl failed");
        std::filesystem::remove(out);
    }
    state.SetBytesProcessed(state.iterations() * f.size);
}

void BM_DownloadFile(benchmark::State& state)
{
    Fixture& f = fixture();
    if (f.port <= 0) return state.SkipWithError("server did not start");
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
