// didi [--console] [--server HOST[:PORT]] JOBFILE
// Downloads the packages listed in the database update's job file (see dbupdate/downloader.h
// for the server layout). Exit 0 when every package arrived, 1 when some did not, 2 on a usage
// or job file error, 3 when stopped by the user (the next run resumes).
#include "didi_window.h"

#include "dbupdate/downloader.h"
#include "platform/files.h"
#include "platform/hostlookup.h"

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace zeph::dbu;

namespace {

PackageDownloader* gDownloader = nullptr;

void onInterrupt(int) { gDownloader->abort = true; }

int exitCode(DownloadResult r)
{
    switch (r) {
    case DownloadResult::Complete: return 0;
    case DownloadResult::Aborted: return 3;
    default: return 1;
    }
}

int runConsole(PackageDownloader& d, const std::vector<DownloadJobEntry>& job)
{
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::time_t last = 0;
    size_t lastIndex = SIZE_MAX;
    d.onProgress = [&](const DownloadProgress& p) {
        std::time_t now = std::time(nullptr);
        if (p.index == lastIndex && now == last) return;  // about once a second
        last = now;
        lastIndex = p.index;
        auto pct = [](int64_t a, int64_t b) { return b > 0 ? int(a * 100 / b) : 0; };
        std::fprintf(stderr, "%s: %lld B (%d %%), celkem %d %%\n", p.name.c_str(), (long long)p.packageDone,
                     pct(p.packageDone, p.packageTotal), pct(p.allDone, p.allTotal));
    };
    d.onMessage = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    DownloadResult r = d.run(job);
    std::fprintf(stderr, "%s\n", r == DownloadResult::Complete ? "Stahování dokončeno."
                                 : r == DownloadResult::Aborted ? "Stahování přerušeno."
                                                                : "Některé balíčky se nepodařilo stáhnout.");
    return exitCode(r);
}

bool haveDisplay()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv)
{
    bool console = false;
    std::string server, jobFile;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--console") console = true;
        else if (a == "--server" && i + 1 < argc) server = argv[++i];
        else if (jobFile.empty() && !a.empty() && a[0] != '-') jobFile = a;
        else {
            std::fprintf(stderr, "použití: didi [--console] [--server HOST[:PORT]] ÚLOHA\n");
            return 2;
        }
    }
    if (jobFile.empty() || !zeph::fs::isFile(jobFile)) {
        std::fprintf(stderr, "didi: soubor úlohy %s nelze přečíst\n", jobFile.c_str());
        return 2;
    }
    std::vector<DownloadJobEntry> job = ReadDownloadJob(jobFile);
    PackageDownloader downloader(server.empty() ? zeph::net::updateServer() : server);
    gDownloader = &downloader;
    if (console || !haveDisplay()) return runConsole(downloader, job);

    QApplication app(argc, argv);
    DidiWindow window(downloader, job);
    window.exec();
    return exitCode(window.result());
}
