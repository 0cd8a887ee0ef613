// The transport of the update engine on libcurl: HTTP(S), FTP and file sources, each transfer
// through a fresh "NUPD" temporary file that is moved onto its target only when complete.
#include "netupdate/transport.h"

#include "netupdate/checksum.h"
#include "netupdate/netupdate.h"
#include "netupdate/status.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/textcodec.h"

#include <cstdlib>
#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace zeph::nu {

// A session (HTTP) or an FTP connection. The easy handle keeps its connections open between
// transfers, so one FTP log-in serves every file of a run.
struct InternetHandle {
    enum class Kind { Session, Ftp };
    Kind kind = Kind::Session;
    CURL* easy = nullptr;
    std::string agent, proxy;
    long connectTimeoutMs = 0;
    // FTP
    std::string base;   // "ftp://host:port"
    std::string user, password;
    bool passive = false;
    std::string directory;  // URL path of the directory set once per connection, "" for the log-in one

    ~InternetHandle()
    {
        if (easy) curl_easy_cleanup(easy);
    }
};

namespace {

thread_local InternetError lastError;

void globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A transfer that stops delivering for this long counts as a failed read instead of hanging.
constexpr long kStallSeconds = 60;

void applyCommon(CURL* easy, const InternetHandle& h, char* errorBuffer)
{
    curl_easy_setopt(easy, CURLOPT_USERAGENT, h.agent.c_str());
    if (!h.proxy.empty()) curl_easy_setopt(easy, CURLOPT_PROXY, h.proxy.c_str());
    if (h.connectTimeoutMs > 0) curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, h.connectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024);
    // Certificates are always checked; an update server signed by a company's own authority
    // is trusted through the variable that the curl tool reads as well.
    if (const char* authorities = std::getenv("CURL_CA_BUNDLE"); authorities && *authorities)
        curl_easy_setopt(easy, CURLOPT_CAINFO, authorities);
    errorBuffer[0] = 0;
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
}

void rememberError(CURLcode res, const char* errorBuffer)
{
    std::string text = errorBuffer && *errorBuffer ? errorBuffer : curl_easy_strerror(res);
    SetLastInternetError(int(res), text);
}

std::string escapeSegment(CURL* easy, const std::string& s)
{
    char* e = curl_easy_escape(easy, s.c_str(), int(s.size()));
    std::string out = e ? e : "";
    curl_free(e);
    return out;
}

// The URL path of a directory: its parts escaped, "%2F" first for an absolute one.
std::string ftpDirectoryPath(CURL* easy, const std::string& dir)
{
    std::string native = fs::toNative(dir);
    std::string out = native.rfind('/', 0) == 0 ? "/%2F" : "/";
    size_t at = 0;
    bool first = true;
    while (at <= native.size()) {
        size_t end = native.find('/', at);
        if (end == std::string::npos) end = native.size();
        std::string part = native.substr(at, end - at);
        at = end + 1;
        if (part.empty()) continue;
        if (!first) out += "/";
        out += escapeSegment(easy, part);
        first = false;
    }
    if (!first) out += "/";
    return out == "/%2F" ? "/%2F/" : out;
}

// Spaces are the one thing an http address may carry that the library refuses.
std::string httpAddress(const std::string& url)
{
    std::string out;
    for (char c : url) out += c == ' ' ? std::string("%20") : std::string(1, c);
    return out;
}

bool endsWithSeparator(const std::string& s) { return !s.empty() && (s.back() == '/' || s.back() == '\\'); }

// One Internet transfer in the blocks, events and checks of the transfer loop.
struct Transfer {
    TNetUpdate* nu = nullptr;
    CURL* easy = nullptr;
    bool http = false;
    std::string tempFolder;
    std::string tempPath;
    std::FILE* file = nullptr;
    std::string target;
    int64_t total = 0;
    int64_t expected = 0;
    bool opened = false;     // the request or file is open (status below 300)
    long stoppedAt = 0;      // an HTTP status of 300 or more stopped it at the first body byte
    bool cancelled = false;
    bool failed = false;

    ~Transfer()
    {
        if (file) std::fclose(file);
    }

    void pump()
    {
        if (nu->pump) nu->pump();
    }

    void learnExpectedSize()
    {
        curl_off_t len = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &len);
        expected = len > 0 ? int64_t(len) : 0;
    }

    bool open()
    {
        if (http) {
            long code = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
            if (code >= 300) {
                stoppedAt = code;
                return false;
            }
        }
        opened = true;
        learnExpectedSize();
        tempPath = fs::makeTempFile(tempFolder, "NUPD");
        if (!tempPath.empty()) file = std::fopen(tempPath.c_str(), "wb");
        if (!file) {
            failed = true;
            return false;
        }
        static thread_local char buffer[1 << 16];
        std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
        return true;
    }

    // One block read: progress and the host's chance to cancel.
    void afterBlock()
    {
        if (nu->OnFileProgress) nu->OnFileProgress(*nu, target, total, expected);
        nu->CheckCancel(cancelled);
    }

    size_t write(const char* data, size_t n)
    {
        if (!opened && !open()) return 0;
        for (size_t at = 0; at < n;) {
            size_t k = std::min(kInternetBlock, n - at);
            pump();
            if (std::fwrite(data + at, 1, k, file) != k) {
                failed = true;
                return 0;
            }
            total += int64_t(k);
            at += k;
            afterBlock();
            if (cancelled) return 0;
        }
        return n;
    }

    static size_t onWrite(char* data, size_t size, size_t count, void* self)
    {
        return static_cast<Transfer*>(self)->write(data, size * count);
    }
};

void appendLog(const std::string& line) { AppendLogLine(line); }

}  // namespace

InternetError LastInternetError() { return lastError; }
void SetLastInternetError(int code, const std::string& text) { lastError = {code, text}; }

bool TNetUpdate::IsInternetConnected()
{
    if (URL.find("127.0.0.1") != std::string::npos) return true;
    // This platform keeps no connection state to ask: a missing connection shows when the
    // transfers fail.
    return true;
}

int32_t TNetUpdate::OpenConnection()
{
    SessionHandle.reset();
    ConnectionHandle.reset();
    if (UpdateType == fileUpdate) return 0;
    ReportStatus(918, "", 3, 0);
    if (UpdateConnect == nucNone) return 0;
    // There is no dial-up here: without a connection every mode acts as nucNoConnect.
    if (!IsInternetConnected()) return 1;
    ReportStatus(921, "", 3, 0);

    globalInit();
    auto h = std::make_shared<InternetHandle>();
    h->easy = curl_easy_init();
    if (!h->easy) {
        ReportStatus(922, "", 1, 0);
        return 2;
    }
    h->agent = Agent;
    h->proxy = Proxy;
    if (TimeOut > 0) h->connectTimeoutMs = TimeOut;
    SessionHandle = h;
    if (UpdateType == httpUpdate) ConnectionHandle = SessionHandle;
    return 0;
}

int32_t TNetUpdate::ConnectFtp()
{
    FtpDirectorySet = false;
    ReportStatus(923, Host, 3, 0);
    ConnectionHandle.reset();
    if (!SessionHandle) return -1;
    auto h = std::make_shared<InternetHandle>();
    h->kind = InternetHandle::Kind::Ftp;
    h->easy = curl_easy_init();
    if (!h->easy) return -1;
    h->agent = SessionHandle->agent;
    h->proxy = SessionHandle->proxy;
    h->connectTimeoutMs = SessionHandle->connectTimeoutMs;
    h->base = "ftp://" + Host + ":" + std::to_string(Port);
    if (!UserID.empty() && !Password.empty()) {
        h->user = UserID;
        h->password = Password;
    }
    h->passive = FTPPassive;

    // Log in now, as the connection call does; the connection stays open in the handle.
    char err[CURL_ERROR_SIZE];
    applyCommon(h->easy, *h, err);
    std::string url = h->base + "/";
    curl_easy_setopt(h->easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h->easy, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(h->easy, CURLOPT_NOBODY, 1L);
    if (!h->user.empty()) {
        curl_easy_setopt(h->easy, CURLOPT_USERNAME, h->user.c_str());
        curl_easy_setopt(h->easy, CURLOPT_PASSWORD, h->password.c_str());
    }
    if (!h->passive) curl_easy_setopt(h->easy, CURLOPT_FTPPORT, "-");
    CURLcode res = curl_easy_perform(h->easy);
    curl_easy_setopt(h->easy, CURLOPT_ERRORBUFFER, nullptr);
    if (res != CURLE_OK) {
        rememberError(res, err);
        return -1;
    }
    ConnectionHandle = h;
    return 0;
}

int32_t TNetUpdate::CloseConnection()
{
    if (UpdateType != fileUpdate) {
        if (UpdateType == ftpUpdate && ConnectionHandle) {
            ConnectionHandle.reset();
            ReportStatus(954, "", 3, 0);
        }
        if (SessionHandle) {
            if (ConnectionHandle == SessionHandle) ConnectionHandle.reset();
            SessionHandle.reset();
            ReportStatus(949, "", 3, 0);
        }
        if (Dialled && (UpdateConnect == nucConnectPromptHangup || UpdateConnect == nucConnectSilentHangup))
            ReportStatus(955, "", 3, 0);
        ReportStatus(949, "", 3, 0);
    }
    if (!ControlFilePath.empty()) fs::removeFile(ControlFilePath);
    return 0;
}

void TNetUpdate::ReportInternetError()
{
    InternetError e = LastInternetError();
    if (e.code == 0 || e.text.empty()) return;
    if (OnStatus) OnStatus(*this, e.text, 1, e.code);
    else if (prompter) prompter->message("", e.text, Icon::Error, Buttons::Ok);
}

void TNetUpdate::CheckCancel(bool& cancel)
{
    if (OnProgressCancel) OnProgressCancel(*this, cancel);
    if (cancel) ReportStatus(964, "", 0, 0);
}

std::string TNetUpdate::FileNameFromURL(const std::string& url)
{
    std::string name = url;
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    size_t back = name.rfind('\\');
    if (back != std::string::npos) name = name.substr(back + 1);
    if (OnFileNameFromURL) OnFileNameFromURL(*this, url, name);
    return name;
}

std::string TNetUpdate::HostFromURL(const std::string& url)
{
    std::string rest = url;
    size_t scheme = rest.find("://");
    if (scheme != std::string::npos) rest = rest.substr(scheme + 3);
    rest = rest.substr(0, rest.find('/'));
    return rest.substr(0, rest.find('\\'));
}

std::string TNetUpdate::AddUrlCredentials(const std::string& url, const std::string& user, const std::string& password)
{
    if (user.empty() || url.size() < 7 || !text::equalsNoCase(url.substr(0, 7), "http://")) return url;
    return "http://" + user + ":" + password + "@" + url.substr(7);
}

bool TNetUpdate::ShowLoginDialog(const std::string& caption, std::string& user, std::string& password)
{
    if (!prompter) return false;
    LoginRequest request{caption, "", ""};  // the dialog opens with empty fields
    if (!prompter->login(request)) return false;
    user = request.user;
    password = request.password;
    return true;
}

void TNetUpdate::ShowHtmlDialog(const std::string& url)
{
    if (!prompter) return;
    if (!prompter->showHtml(url, "")) throw HtmlDialogError("Stránku " + url + " nelze zobrazit.");
}

bool TNetUpdate::CopyLocalFile(const std::string& source, const std::string& target)
{
    if (source == target) {
        ReportStatus(912, source, 10, 3);
        return false;
    }
    const std::string src = fs::toNative(source);
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (in >= 0 && (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode))) {
        ::close(in);
        in = -1;
    }
    if (in < 0) {
        ReportStatus(913, source, 2, 1);
        return false;
    }
    off_t size = ::lseek(in, 0, SEEK_END);
    if (size < 0 || ::lseek(in, 0, SEEK_SET) != 0) {
        ::close(in);
        ReportStatus(914, source, 10, 2);
        return false;
    }
    const std::string temp = fs::makeTempFile(UseWinTempDir ? folders::temp() : TempDirectory, "NUPD");
    int out = temp.empty() ? -1 : ::open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) {
        ::close(in);
        if (!temp.empty()) fs::removeFile(temp);
        return false;
    }
    std::vector<char> block(kLocalCopyBlock);
    int64_t total = 0;
    bool cancel = false, failed = false;
    for (;;) {
        ssize_t n = ::read(in, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            failed = true;
            break;
        }
        ssize_t written = 0;
        while (written < n) {
            ssize_t w = ::write(out, block.data() + written, size_t(n - written));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) break;
            written += w;
        }
        total += written;
        if (OnFileProgress) OnFileProgress(*this, source, total, int64_t(size));
        CheckCancel(cancel);
        if (pump) pump();
        if (written != n) failed = true;
        if (n == 0 || failed || cancel) break;
    }
    ::close(in);
    if (::close(out) != 0) failed = true;
    Cancelled = cancel;
    if (cancel || failed) {
        fs::removeFile(temp);
        return false;
    }
    const std::string dst = fs::toNative(target);
    if (fs::exists(dst) && !fs::isDirectory(dst)) fs::removeFile(dst);
    // A copy that cannot be put in place is no success.
    if (!fs::moveFile(temp, dst, true)) {
        fs::removeFile(temp);
        return false;
    }
    return true;
}

bool TNetUpdate::DownloadFile(const HInternet& connection, const std::string& url, const std::string& target)
{
    ReportStatus(915, url, 3, 0);
    const std::string name = FileNameFromURL(url);
    if (UpdateType == fileUpdate) {
        std::string file = endsWithSeparator(target) || target.empty() ? target + name : target;
        bool ok = CopyLocalFile(url, file);
        if (ok) FileDownloaded(fs::toNative(file));
        return ok;
    }
    const std::string address = AddUrlCredentials(url, ProxyUserID, ProxyPassword);
    const bool http = UpdateType == httpUpdate;
    const std::string targetFile = fs::toNative(target + name);
    if (!connection || !connection->easy) {
        ReportStatus(917, url, 2, 1);
        return false;
    }
    CURL* easy = connection->easy;

    if (http && Authenticate == waAlways && (UserID.empty() || Password.empty())) {
        if (!ShowLoginDialog("Connect to " + HostFromURL(address), UserID, Password)) {
            ReportStatus(956, "Authentication cancelled", 0, 0);
            return false;
        }
    }

    std::string requestUrl;
    if (!http) {
        if (!FtpDirectorySet && !FTPDirectory.empty()) {
            // Changed once per connection; a directory that is not there leaves the current one.
            std::string dir = ftpDirectoryPath(easy, ExpandPrefixes(FTPDirectory));
            char err[CURL_ERROR_SIZE];
            curl_easy_reset(easy);
            applyCommon(easy, *connection, err);
            std::string probe = connection->base + dir;
            curl_easy_setopt(easy, CURLOPT_URL, probe.c_str());
            curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
            curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
            if (!connection->user.empty()) {
                curl_easy_setopt(easy, CURLOPT_USERNAME, connection->user.c_str());
                curl_easy_setopt(easy, CURLOPT_PASSWORD, connection->password.c_str());
            }
            if (!connection->passive) curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
            if (curl_easy_perform(easy) == CURLE_OK) connection->directory = dir;
            FtpDirectorySet = true;
        }
        std::string dir = connection->directory.empty() ? "/" : connection->directory;
        requestUrl = connection->base + dir + escapeSegment(easy, FileNameFromURL(address));
    } else {
        requestUrl = httpAddress(address);
    }

    for (;;) {
        Transfer t;
        t.nu = this;
        t.easy = easy;
        t.http = http;
        t.tempFolder = UseWinTempDir ? folders::temp() : TempDirectory;
        t.target = targetFile;

        char err[CURL_ERROR_SIZE];
        curl_easy_reset(easy);
        applyCommon(easy, *connection, err);
        curl_easy_setopt(easy, CURLOPT_URL, requestUrl.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onWrite);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
        curl_slist* headers = nullptr;
        if (http) {
            curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
            curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
            // Never from a cache, never into one.
            headers = curl_slist_append(headers, "Pragma: no-cache");
            headers = curl_slist_append(headers, "Cache-Control: no-cache");
            if (!UserID.empty() || !Password.empty())
                headers = curl_slist_append(headers, ("Authorization: Basic " + Base64Encode(UserID + ":" + Password)).c_str());
            curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        } else {
            curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
            curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L);
            if (!connection->user.empty()) {
                curl_easy_setopt(easy, CURLOPT_USERNAME, connection->user.c_str());
                curl_easy_setopt(easy, CURLOPT_PASSWORD, connection->password.c_str());
            }
            if (!connection->passive) curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
        }
        CURLcode res = curl_easy_perform(easy);
        long code = 0;
        if (http) curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        if (res != CURLE_OK && !t.cancelled && !t.failed && t.stoppedAt == 0) rememberError(res, err);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
        curl_slist_free_all(headers);

        long status = t.stoppedAt ? t.stoppedAt : (http && !t.opened ? code : 0);
        if (status >= 300) {
            if (status == 401 && Authenticate == waAuto) {
                if (ShowLoginDialog("Connect to " + HostFromURL(address), UserID, Password)) continue;
                ReportStatus(956, "Authentication cancelled", 0, 0);
                return false;
            }
            ReportStatus(916, std::to_string(status), 6, int32_t(status));
            return false;
        }
        if (!t.opened && res != CURLE_OK && !(http && code > 0)) {
            ReportStatus(917, url, 2, 1);
            return false;
        }

        if (!t.opened) {  // the reply had no body at all
            t.opened = true;
            t.learnExpectedSize();
        }
        if (res != CURLE_OK && !t.cancelled) t.failed = true;
        if (res == CURLE_OK && !t.failed) {
            // The final read delivers nothing: one last event with the full total.
            t.pump();
            t.afterBlock();
        }
        if (t.file && std::fclose(t.file) != 0) t.failed = true;
        t.file = nullptr;
        Cancelled = t.cancelled;

        if (t.cancelled || t.failed || t.total == 0) {
            // An empty reply keeps the old target: an empty file is never put in its place.
            if (!t.tempPath.empty() && !fs::removeFile(t.tempPath)) appendLog("Unable to delete file " + t.tempPath);
            return false;
        }
        bool result = true;
        if (fs::exists(targetFile) || fs::isDirectory(targetFile)) {
            if (fs::isDirectory(targetFile) || !fs::removeFile(targetFile)) {
                fs::setReadOnly(targetFile, false);
                if (fs::isDirectory(targetFile) || !fs::removeFile(targetFile)) {
                    result = false;
                    appendLog("Unable to delete file " + targetFile);
                }
            }
        }
        if (!fs::moveFile(t.tempPath, targetFile, true)) {
            result = false;
            fs::removeFile(t.tempPath);
            appendLog("Unable to rename file " + t.tempPath + " to " + targetFile);
        }
        FileDownloaded(targetFile);
        return result;
    }
}

void TNetUpdate::SendUpdateInfo()
{
    const auto& p = PostUpdateInfo;
    if (p.Server.empty() || p.Action.empty()) return;
    globalInit();
    CURL* easy = curl_easy_init();
    if (!easy) {
        ReportStatus(951, "", 16, 5);
        return;
    }
    InternetHandle session;
    session.agent = Agent;  // the system's configuration: the Proxy setting does not apply
    char err[CURL_ERROR_SIZE];
    applyCommon(easy, session, err);
    // Port 80 unless the server names another ("host:port").
    std::string url = "http://" + p.Server + (p.Action.front() == '/' ? "" : "/") + p.Action;
    std::string reply;
    struct Sink {
        TNetUpdate* nu;
        std::string* reply;
        static size_t write(char* data, size_t size, size_t count, void* self)
        {
            auto* s = static_cast<Sink*>(self);
            size_t n = size * count;
            for (size_t at = 0; at < n; at += kInternetBlock) {
                if (s->nu->pump) s->nu->pump();
                s->reply->append(data + at, std::min(kInternetBlock, n - at));
            }
            return n;
        }
    } sink{this, &reply};
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, p.Data.c_str());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(p.Data.size()));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Sink::write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    CURLcode res = curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    if (res == CURLE_URL_MALFORMAT || res == CURLE_UNSUPPORTED_PROTOCOL) {
        ReportStatus(952, "", 17, 5);
        return;
    }
    if (res == CURLE_COULDNT_RESOLVE_HOST || res == CURLE_COULDNT_CONNECT) {
        rememberError(res, err);
        ReportStatus(951, "", 16, 5);
        return;
    }
    PostUpdateInfo.PostResult = res == CURLE_OK ? reply : std::string();
}

}  // namespace zeph::nu
