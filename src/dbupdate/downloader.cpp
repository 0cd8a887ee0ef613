#include "dbupdate/downloader.h"

#include "dbupdate/package.h"
#include "platform/files.h"
#include "platform/ini.h"

#include <cerrno>
#include <curl/curl.h>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace zeph::dbu {

namespace {

struct Transfer {
    int fd = -1;
    int64_t offset = 0;  // bytes of the partial file
    bool checkedStatus = false;
    bool writeFailed = false;
    CURL* curl = nullptr;
    PackageDownloader* owner = nullptr;
    DownloadProgress* progress = nullptr;
    int64_t doneBefore = 0;
    std::function<void(const DownloadProgress&)>* onProgress = nullptr;
};

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    if (!t->checkedStatus) {
        t->checkedStatus = true;
        long code = 0;
        curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &code);
        if (code == 200 && t->offset > 0) {
            // The server ignored the range: the whole package comes again.
            if (::ftruncate(t->fd, 0) != 0) return 0;
            t->offset = 0;
        }
    }
    for (size_t done = 0; done < n;) {
        ssize_t w = ::pwrite(t->fd, data + done, n - done, t->offset);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            t->writeFailed = true;
            return 0;
        }
        done += size_t(w);
        t->offset += w;
    }
    return n;
}

int onTick(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* t = static_cast<Transfer*>(user);
    if (t->owner->abort.load()) return 1;
    if (*t->onProgress) {
        t->progress->packageDone = t->offset;
        t->progress->allDone = t->doneBefore + t->offset;
        (*t->onProgress)(*t->progress);
    }
    return 0;
}

std::string lowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

std::string escapePath(const std::string& s)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') out += char(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace

std::vector<DownloadJobEntry> ReadDownloadJob(const std::string& jobFile)
{
    ini::Document doc = ini::Document::load(jobFile);
    std::vector<DownloadJobEntry> job;
    for (size_t i = 0;; ++i) {
        std::string section = "Up_" + std::to_string(i);
        if (!doc.hasSection(section)) break;
        DownloadJobEntry e;
        e.capt = doc.get(section, "Capt", "");
        e.dest = doc.get(section, "Dest", "");
        std::string size = doc.get(section, "Size", "0");
        char* end = nullptr;
        long long v = std::strtoll(size.c_str(), &end, 10);
        e.size = (end && *end == '\0') ? v : 0;
        job.push_back(e);
    }
    return job;
}

PackageDownloader::One PackageDownloader::fetch(const DownloadJobEntry& e, const std::string& urlName,
                                                DownloadProgress& p)
{
    std::string folder = fs::withTrailingSlash(fs::toNative(e.dest));
    std::string part = folder + e.capt + ".dzp.part";
    std::string final = folder + e.capt + ".dzp";
    int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (onMessage) onMessage("Nelze vytvořit soubor " + part + ".");
        return One::Failed;
    }
    Transfer t;
    t.fd = fd;
    t.offset = int64_t(fs::fileSize(part).value_or(0));
    if (e.size > 0 && t.offset > e.size) {  // more than the package can be: start over
        if (::ftruncate(fd, 0) != 0) t.offset = -1;
        else t.offset = 0;
    }
    t.owner = this;
    t.progress = &p;
    t.doneBefore = doneBefore_;
    t.onProgress = &onProgress;

    CURLcode rc = CURLE_OK;
    long status = 0;
    for (int attempt = 0; attempt < 2 && t.offset >= 0; ++attempt) {
        if (e.size > 0 && t.offset == e.size) break;  // already complete: only the rename is left
        CURL* curl = curl_easy_init();
        if (!curl) break;
        t.curl = curl;
        t.checkedStatus = false;
        std::string url = "http://" + server_ + packagePath(escapePath(urlName));
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
        curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 512L * 1024);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onTick);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
        if (t.offset > 0) curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE, curl_off_t(t.offset));
        rc = curl_easy_perform(curl);
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_cleanup(curl);
        if (rc == CURLE_HTTP_RETURNED_ERROR && status == 416 && t.offset > 0) {
            // The partial file does not fit the server's package: fetch it whole once more.
            if (::ftruncate(fd, 0) != 0) break;
            t.offset = 0;
            continue;
        }
        break;
    }
    // No flush to disk here: a package is checked by its checksum before anything is installed
    // from it, so a package torn by a power cut can never reach a database.
    ::close(fd);
    p.packageDone = t.offset;
    p.allDone = doneBefore_ + std::max<int64_t>(t.offset, 0);
    if (onProgress) onProgress(p);

    if (rc == CURLE_ABORTED_BY_CALLBACK) return One::Aborted;
    if (rc == CURLE_HTTP_RETURNED_ERROR && status == 404) {
        if (t.offset == 0) fs::removeFile(part);
        return One::NotFound;
    }
    bool complete = rc == CURLE_OK && !t.writeFailed && t.offset >= 0 &&
                    (e.size <= 0 || t.offset == e.size);
    if (!complete) {
        if (e.size > 0 && t.offset > e.size) fs::removeFile(part);  // cannot be this package
        if (onMessage)
            onMessage(rc != CURLE_OK ? "Balíček " + e.capt + " se nepodařilo stáhnout: " + curl_easy_strerror(rc)
                                     : "Balíček " + e.capt + " nemá očekávanou velikost.");
        return One::Failed;
    }
    if (!fs::moveFile(part, final, true)) {
        if (onMessage) onMessage("Nelze přejmenovat soubor " + part + ".");
        return One::Failed;
    }
    return One::Done;
}

DownloadResult PackageDownloader::run(const std::vector<DownloadJobEntry>& job)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    DownloadProgress p;
    p.count = job.size();
    for (const DownloadJobEntry& e : job)
        if (e.size > 0) p.allTotal += e.size;
    doneBefore_ = 0;
    bool allArrived = true;
    for (size_t i = 0; i < job.size(); ++i) {
        const DownloadJobEntry& e = job[i];
        p.index = i;
        p.name = e.capt;
        p.packageTotal = std::max<int64_t>(e.size, 0);
        p.packageDone = 0;
        // Capt becomes a file name in Dest: nothing but a plain name may do that.
        if (!IsPlainFileName(e.capt) || e.dest.empty() || !fs::createDirectories(fs::toNative(e.dest))) {
            if (onMessage) onMessage("Neplatná položka úlohy: " + e.capt);
            allArrived = false;
            continue;
        }
        std::string final = fs::withTrailingSlash(fs::toNative(e.dest)) + e.capt + ".dzp";
        std::optional<uint64_t> present = fs::fileSize(final);
        if (present && (e.size <= 0 || int64_t(*present) == e.size)) {
            doneBefore_ += int64_t(*present);
            continue;  // fetched by an earlier run
        }
        One r = fetch(e, e.capt, p);
        if (r == One::NotFound && lowerAscii(e.capt) != e.capt) r = fetch(e, lowerAscii(e.capt), p);
        if (r == One::Aborted) return DownloadResult::Aborted;
        if (r == One::NotFound && onMessage) onMessage("Balíček " + e.capt + " na serveru není.");
        if (r != One::Done) allArrived = false;
        else doneBefore_ += int64_t(fs::fileSize(final).value_or(0));
        if (abort.load()) return DownloadResult::Aborted;
    }
    return allArrived ? DownloadResult::Complete : DownloadResult::Failed;
}

}  // namespace zeph::dbu
