// FetchUrl and DownloadPackage: the catalogue over HTTP with libcurl.
#include "dbupdate/dbupdate.h"

#include "dbupdate/package.h"

#include <curl/curl.h>
#include <mutex>

namespace zeph::dbu {

namespace {

const char* const kConnectionError = "Došlo k chybě při spojení.";

struct Sink {
    Stream* out = nullptr;
    int64_t written = 0;
    int64_t maxBytes = 0;
    bool failed = false;
};

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<Sink*>(user);
    size_t n = size * count;
    if (sink->maxBytes > 0 && sink->written + int64_t(n) > sink->maxBytes) return 0;  // aborts
    try {
        sink->out->write(data, n);
    } catch (const PackageError&) {
        sink->failed = true;
        return 0;
    }
    sink->written += int64_t(n);
    return n;
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool perform(CURL* curl, const std::string& url, bool head, Sink* sink)
{
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");  // no proxy, also none from the environment
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);  // a status of 400 or more is an error
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // Not a time limit: only a server that sends nothing for a minute is given up, so a
    // stalled connection cannot hang the window for ever.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    if (head) {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, sink);
    }
    return curl_easy_perform(curl) == CURLE_OK;
}

}  // namespace

void FetchUrl(const std::string& url, Stream& out, std::string& error, int64_t maxBytes)
{
    error.clear();
    initCurlOnce();
    CURL* curl = curl_easy_init();
    if (!curl) {
        error = kConnectionError;
        return;
    }
    Sink sink{&out, 0, maxBytes, false};
    bool ok = perform(curl, url, true, nullptr) && perform(curl, url, false, &sink) && !sink.failed;
    curl_easy_cleanup(curl);
    if (!ok) error = kConnectionError;
}

void DownloadPackage(MemoryStream& out, const std::string& url, std::string& error)
{
    constexpr int64_t kMaxCatalogueBytes = 64ll << 20;  // a catalogue is a few kilobytes
    error.clear();
    MemoryStream fetched;
    FetchUrl(url, fetched, error, kMaxCatalogueBytes);
    if (!error.empty()) return;
    // A body that does not inflate is a catalogue that cannot be read, like one that does not
    // verify; a stated size beyond any catalogue is not inflated into memory at all.
    std::optional<PackageTrailer> trailer = ReadTrailer(fetched);
    bool ok = trailer && trailer->size <= kMaxCatalogueBytes;
    if (ok) {
        fetched.seek(0);
        std::string noName;
        try {
            ok = UnpackFile("", "", noName, &fetched, &out);
        } catch (const PackageError&) {
            ok = false;
        }
    }
    if (!ok) {
        error = "Chyba načtení.";
        return;
    }
    out.seek(0);
}

}  // namespace zeph::dbu
