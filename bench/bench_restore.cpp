// Restoring the dictionary list from a folder tree of 500 databases: every file read in its own
// isolated child and registered in the profile store. Reported as milliseconds per database and
// as the ratio to the 5 ms target; the in-process read of the same files shows what the
// isolation costs.
#include "catalogue/profiles.h"
#include "catalogue/properties_row.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace stdfs = std::filesystem;
constexpr int kDatabases = 500;
constexpr double kTargetMsPerDatabase = 5.0;

class CountingPrompter : public zeph::Prompter {
public:
    int messages = 0;
    zeph::Answer message(const std::string&, const std::string&, zeph::Icon, zeph::Buttons) override
    {
        ++messages;
        return zeph::Answer::Yes;
    }
};

// A scratch HOME (so the profile store is a fresh hive) and the tree of databases, written by
// make-di8 from this program's folder: six editions copied into 10 folders of 50.
struct Tree {
    std::string home, folder;
    std::vector<std::string> files;
    Tree()
    {
        char tmpl[] = "/tmp/zeph-bench-restore-XXXXXX";
        home = mkdtemp(tmpl);
        setenv("HOME", home.c_str(), 1);
        for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) unsetenv(v);
        folder = home + "/ZephDict";
        std::string makeDi8 = stdfs::read_symlink("/proc/self/exe").parent_path() / "make-di8";
        const char* names[] = {"Anglicko-český", "Německo-český", "Francouzsko-český", "Rusko-český", "Španělsko-český",
                               "Polsko-český"};
        for (int lang = 0; lang < 6; ++lang) {
            std::string out = home + "/edition" + std::to_string(lang) + ".di8";
            std::string cmd = "'" + makeDi8 + "' '" + out + "' 'Name=" + names[lang] +
                              "' LangCombination=" + std::to_string(lang) + " Lang1ID=" + std::to_string(lang + 1);
            if (std::system(cmd.c_str()) != 0) throw std::runtime_error("make-di8 failed: " + cmd);
        }
        for (int i = 0; i < kDatabases; ++i) {
            std::string sub = folder + "/obor" + std::to_string(i / 50);
            stdfs::create_directories(sub);
            std::string file = sub + "/slovnik" + std::to_string(i) + ".di8";
            stdfs::copy_file(home + "/edition" + std::to_string(i % 6) + ".di8", file);
            files.push_back(file);
        }
    }
    ~Tree() { stdfs::remove_all(home); }
};

Tree& tree()
{
    static Tree t;
    return t;
}

void BM_RestoreDictionaryList(benchmark::State& state)
{
    Tree& t = tree();
    CountingPrompter prompter;
    zeph::cat::DictionaryList list(prompter);
    list.databaseFolder = [&] { return t.folder; };
    double totalMs = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        list.RestoreDictionaryList(true);
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (list.items().size() != size_t(kDatabases) || prompter.messages != 0) {
            state.SkipWithError("the restore did not list every database silently");
            break;
        }
    }
    double perDb = totalMs / double(state.iterations()) / kDatabases;
    state.counters["ms_per_db"] = perDb;
    state.counters["ratio_to_5ms_target"] = perDb / kTargetMsPerDatabase;
}
BENCHMARK(BM_RestoreDictionaryList)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same files read in this process, without the child: the reference of the isolation's cost.
void BM_ReadInProcess(benchmark::State& state)
{
    Tree& t = tree();
    double totalMs = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        for (auto& f : t.files) benchmark::DoNotOptimize(zeph::cat::ReadPropertiesRow(f));
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["ms_per_db"] = totalMs / double(state.iterations()) / kDatabases;
}
BENCHMARK(BM_ReadInProcess)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
