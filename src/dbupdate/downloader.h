// The package downloader behind didi: reads the job file upddb.inf and fetches each package
// from the update server into its Dest folder, resuming partial downloads.
//
// For a section with Capt NAME, Dest D and Size S:
//   address   http://<server>/updates/zeph/db/NAME.dzp (if the server answers 404 and NAME has
//             upper-case letters, the lower-case name is tried)
//   partial   D/NAME.dzp.part, continued with an HTTP range request on the next run
//   result    D/NAME.dzp, renamed from the partial file once complete (its size equals S when
//             S > 0; otherwise the server's whole response arrived)
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zeph::dbu {

struct DownloadJobEntry {
    std::string capt;
    std::string dest;
    int64_t size = 0;
};

// The sections Up_0, Up_1, … up to the first one missing.
std::vector<DownloadJobEntry> ReadDownloadJob(const std::string& jobFile);

struct DownloadProgress {
    size_t index = 0;          // package being fetched
    size_t count = 0;          // packages in the job
    std::string name;          // its Capt
    int64_t packageDone = 0;   // bytes of this package present
    int64_t packageTotal = 0;  // its size, 0 when unknown
    int64_t allDone = 0;       // bytes of the whole job present
    int64_t allTotal = 0;      // sum of the known sizes
};

enum class DownloadResult { Complete, Failed, Aborted };

class PackageDownloader {
public:
    explicit PackageDownloader(std::string server) : server_(std::move(server)) {}

    std::function<void(const DownloadProgress&)> onProgress;  // called from the fetching thread
    std::function<void(const std::string&)> onMessage;        // a line about a package (Czech)
    std::atomic<bool> abort{false};                           // stops at the next chunk; resumable

    // Complete when every package arrived; Aborted when stopped; Failed otherwise (the
    // remaining packages are still tried).
    DownloadResult run(const std::vector<DownloadJobEntry>& job);

    static std::string packagePath(const std::string& name) { return "/updates/zeph/db/" + name + ".dzp"; }

private:
    enum class One { Done, Failed, Aborted, NotFound };
    One fetch(const DownloadJobEntry& e, const std::string& urlName, DownloadProgress& p);

    std::string server_;
    int64_t doneBefore_ = 0;
};

}  // namespace zeph::dbu
