#include "netupdate/netupdate.h"
#include "netupdate/status.h"
#include "netupdate/transport.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "support/scripted_prompter.h"
#include "support/test_env.h"
#include "test_transport_servers.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace zeph;
using namespace zeph::nu;
using nutest::FtpServer;
using nutest::HttpServer;

namespace {

struct Status {
    std::string text;
    int code, err;
};

// A temporary folder of the test's own in place of the system's.
struct OwnTempFolder {
    test::TempDir dir{"nu-tmp"};
    std::string old = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    OwnTempFolder() { setenv("TMPDIR", dir.path().c_str(), 1); }
    ~OwnTempFolder()
    {
        if (old.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", old.c_str(), 1);
    }
};

// A component wired to record its statuses and progress events.
struct Recorder {
    OwnTempFolder tmp;
    TNetUpdate nu;
    test::ScriptedPrompter prompter;
    std::vector<Status> statuses;
    std::vector<std::pair<int64_t, int64_t>> progress;
    std::vector<std::string> progressNames, downloaded;

    Recorder()
    {
        nu.prompter = &prompter;
        nu.OnStatus = [this](TNetUpdate&, const std::string& t, int32_t c, int32_t e) { statuses.push_back({t, c, e}); };
        nu.OnFileProgress = [this](TNetUpdate&, const std::string& f, int64_t p, int64_t s) {
            progress.emplace_back(p, s);
            progressNames.push_back(f);
        };
        nu.OnFileDownloaded = [this](TNetUpdate&, const std::string& f) { downloaded.push_back(f); };
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (auto& s : statuses) out.push_back(s.text);
        return out;
    }
    bool has(const std::string& text) const
    {
        for (auto& s : statuses)
            if (s.text == text) return true;
        return false;
    }
};

std::string logPath() { return ResolveLogPath(LogFileName()); }

std::vector<std::string> tempLeftovers()
{
    std::vector<std::string> out;
    for (auto& e : fs::list(folders::temp(), "NUPD*")) out.push_back(e.name);
    return out;
}

std::string bytes(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 131 + i / 4096) & 0xFF);
    return s;
}

}  // namespace

TEST(TransportNames, FileNameHostAndCredentials)
{
    TNetUpdate nu;
    struct NameCase { const char* url; const char* name; };
    for (auto& c : std::vector<NameCase>{{"http://h/a/b/update.inf", "update.inf"}, {"http://h/a/", ""},
                                         {"C:\\dir\\sub\\f.exe", "f.exe"}, {"http://h/a\\b/c\\d.txt", "d.txt"},
                                         {"plain.txt", "plain.txt"}})
        EXPECT_EQ(nu.FileNameFromURL(c.url), c.name) << c.url;
    nu.OnFileNameFromURL = [](TNetUpdate&, const std::string& url, std::string& name) { name = "x-" + name; };
    EXPECT_EQ(nu.FileNameFromURL("http://h/f.txt"), "x-f.txt");

    EXPECT_EQ(TNetUpdate::HostFromURL("http://www.example.cz:8080/updates/x.inf"), "www.example.cz:8080");
    EXPECT_EQ(TNetUpdate::HostFromURL("ftp://host\\dir"), "host");
    EXPECT_EQ(TNetUpdate::HostFromURL("host/x"), "host");

    struct CredCase { const char* url; const char* user; const char* pass; const char* out; };
    for (auto& c : std::vector<CredCase>{{"http://h/x", "u", "p", "http://u:p@h/x"},
                                         {"HTTP://h/x", "u", "", "http://u:@h/x"},
                                         {"http://h/x", "", "p", "http://h/x"},
                                         {"ftp://h/x", "u", "p", "ftp://h/x"},
                                         {"https://h/x", "u", "p", "https://h/x"}})
        EXPECT_EQ(TNetUpdate::AddUrlCredentials(c.url, c.user, c.pass), c.out) << c.url;
}

TEST(TransportConnection, OpenAndCloseStatusSequences)
{
    struct Case {
        TNetUpdateType type;
        TNetUpdateConnect connect;
        int open;
        bool session;
        std::vector<std::string> statuses;  // open and close together
    };
    const std::vector<Case> cases = {
        {httpUpdate, nucNoConnect, 0, true,
         {"Checking for Internet connection", "Found open Internet connection", "Closed Internet connection",
          "Closed Internet connection"}},
        // The dial-up modes act as nucNoConnect here: connected, nothing dialled, no hang-up.
        {httpUpdate, nucConnectSilentHangup, 0, true,
         {"Checking for Internet connection", "Found open Internet connection", "Closed Internet connection",
          "Closed Internet connection"}},
        {httpUpdate, nucNone, 0, false, {"Checking for Internet connection", "Closed Internet connection"}},
        {fileUpdate, nucNoConnect, 0, false, {}},
    };
    for (auto& c : cases) {
        Recorder r;
        r.nu.UpdateType = c.type;
        r.nu.UpdateConnect = c.connect;
        r.nu.URL = "http://updates.example/x.inf";
        EXPECT_EQ(r.nu.OpenConnection(), c.open);
        EXPECT_EQ(bool(r.nu.SessionHandle), c.session);
        EXPECT_EQ(bool(r.nu.ConnectionHandle), c.session && c.type == httpUpdate);
        EXPECT_EQ(r.nu.CloseConnection(), 0);
        EXPECT_EQ(r.texts(), c.statuses) << int(c.type) << " " << int(c.connect);
        EXPECT_FALSE(r.nu.SessionHandle);
    }
}

TEST(TransportConnection, CloseDeletesTheControlFileCopy)
{
    test::TempDir dir;
    Recorder r;
    r.nu.UpdateType = fileUpdate;
    r.nu.ControlFilePath = dir / "update.inf";
    test::writeFile(r.nu.ControlFilePath, "[update]");
    r.nu.CloseConnection();
    EXPECT_FALSE(fs::exists(dir / "update.inf"));
    EXPECT_TRUE(r.statuses.empty());
}

class HttpTransport : public ::testing::Test {
protected:
    test::TempDir root, target;
    Recorder r;
    void SetUp() override
    {
        r.nu.UpdateType = httpUpdate;
        r.nu.URL = "http://127.0.0.1/x";
        ASSERT_EQ(r.nu.OpenConnection(), 0);
    }
    bool get(const HttpServer& s, const std::string& path) { return r.nu.DownloadFile(r.nu.ConnectionHandle, s.url(path), target.path() + "/"); }
};

TEST_F(HttpTransport, FetchesIntoTheTargetWithProgressPerBlock)
{
    const std::string data = bytes(3 * 4096 + 100);
    test::writeFile(root / "dir/file.bin", data);
    test::writeFile(target / "file.bin", "old");
    HttpServer s(root.path(), {"--log", root / "requests.log"});
    ASSERT_TRUE(get(s, "/dir/file.bin"));
    EXPECT_EQ(test::readFile(target / "file.bin"), data);
    EXPECT_EQ(r.texts(), (std::vector<std::string>{"Checking for Internet connection", "Found open Internet connection",
                                                    "Download : " + s.url("/dir/file.bin")}));
    ASSERT_GE(r.progress.size(), 5u);
    int64_t last = 0;
    for (auto& [pos, size] : r.progress) {
        EXPECT_LE(pos - last, 4096);
        EXPECT_GE(pos, last);
        EXPECT_EQ(size, int64_t(data.size()));
        last = pos;
    }
    // The final read delivers nothing: the last two events both carry the full total.
    EXPECT_EQ(r.progress.back().first, int64_t(data.size()));
    EXPECT_EQ(r.progress[r.progress.size() - 2].first, int64_t(data.size()));
    EXPECT_EQ(r.progressNames.back(), target / "file.bin");
    EXPECT_EQ(r.downloaded, (std::vector<std::string>{target / "file.bin"}));
    EXPECT_TRUE(tempLeftovers().empty());

    auto log = nutest::readLines(root / "requests.log");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("\"pragma\": \"no-cache\""), std::string::npos) << log[0];
    EXPECT_NE(log[0].find("\"cache-control\": \"no-cache\""), std::string::npos);
    EXPECT_NE(log[0].find("\"user-agent\": \"TNetUpdate\""), std::string::npos);
    EXPECT_NE(log[0].find("\"authorization\": \"\""), std::string::npos);  // no credentials, no header
}

TEST_F(HttpTransport, FailuresReportTheirStatusAndLeaveNoTemporaryFile)
{
    test::writeFile(root / "empty.txt", "");
    test::writeFile(target / "empty.txt", "keep me");
    HttpServer s(root.path(), {"--status", "/broken=500"});
    struct Case { std::string path; std::string status; int code, err; };
    const std::vector<Case> cases = {
        {"/missing.txt", "Http status : 404", 6, 404},
        {"/broken", "Http status : 500", 6, 500},
    };
    for (auto& c : cases) {
        r.statuses.clear();
        EXPECT_FALSE(get(s, c.path)) << c.path;
        ASSERT_EQ(r.statuses.size(), 2u) << c.path;
        EXPECT_EQ(r.statuses[1].text, c.status);
        EXPECT_EQ(r.statuses[1].code, c.code);
        EXPECT_EQ(r.statuses[1].err, c.err);
    }
    // An empty reply is no download, and the old file stays as it was.
    r.progress.clear();
    EXPECT_FALSE(get(s, "/empty.txt"));
    EXPECT_EQ(test::readFile(target / "empty.txt"), "keep me");
    EXPECT_EQ(r.progress, (std::vector<std::pair<int64_t, int64_t>>{{0, 0}}));

    // Nothing listens: the address cannot be opened.
    r.statuses.clear();
    std::string closed = "http://127.0.0.1:1/x.txt";
    EXPECT_FALSE(r.nu.DownloadFile(r.nu.ConnectionHandle, closed, target.path() + "/"));
    ASSERT_EQ(r.statuses.size(), 2u);
    EXPECT_EQ(r.statuses[1].text, "File not found : " + closed);
    EXPECT_EQ(r.statuses[1].code, 2);
    EXPECT_EQ(r.statuses[1].err, 1);
    EXPECT_TRUE(tempLeftovers().empty());
}

// HTTPS with the certificate checked: a server whose authority is not trusted is refused and
// the old file stays; trusted through CURL_CA_BUNDLE, the same server delivers.
TEST_F(HttpTransport, HttpsChecksTheCertificate)
{
    const std::string cert = root / "cert.pem", key = root / "key.pem";
    auto made = test::run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                           "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    test::writeFile(root / "secure.txt", "over tls");
    test::writeFile(target / "secure.txt", "old");
    HttpServer s(root.path(), {"--tls", cert, key});
    std::string address = "https://127.0.0.1:" + std::to_string(s.port()) + "/secure.txt";
    const char* saved = std::getenv("CURL_CA_BUNDLE");
    const std::string savedValue = saved ? saved : "";
    unsetenv("CURL_CA_BUNDLE");

    EXPECT_FALSE(r.nu.DownloadFile(r.nu.ConnectionHandle, address, target.path() + "/"));
    EXPECT_EQ(test::readFile(target / "secure.txt"), "old");
    EXPECT_TRUE(tempLeftovers().empty());

    setenv("CURL_CA_BUNDLE", cert.c_str(), 1);
    EXPECT_TRUE(r.nu.DownloadFile(r.nu.ConnectionHandle, address, target.path() + "/"));
    EXPECT_EQ(test::readFile(target / "secure.txt"), "over tls");
    if (saved) setenv("CURL_CA_BUNDLE", savedValue.c_str(), 1);
    else unsetenv("CURL_CA_BUNDLE");
}

TEST_F(HttpTransport, AddressEndingInSlashCannotBeMovedOntoTheFolder)
{
    test::writeFile(root / "index.html", "page");
    HttpServer s(root.path());
    fs::createDirectories(folders::documents());
    fs::removeFile(logPath());
    EXPECT_FALSE(get(s, "/"));
    std::string log = test::readFile(logPath());
    EXPECT_NE(log.find("Unable to rename file " + folders::temp()), std::string::npos) << log;
    EXPECT_NE(log.find(" to " + target.path() + "/"), std::string::npos) << log;
    EXPECT_TRUE(tempLeftovers().empty());
    EXPECT_TRUE(fs::isDirectory(target.path()));
}

TEST_F(HttpTransport, CancelStopsTheTransferAndKeepsTheOldFile)
{
    test::writeFile(root / "big.bin", bytes(200000));
    test::writeFile(target / "big.bin", "old");
    HttpServer s(root.path());
    int blocks = 0;
    r.nu.OnProgressCancel = [&](TNetUpdate&, bool& cancel) { cancel = ++blocks == 3; };
    EXPECT_FALSE(get(s, "/big.bin"));
    EXPECT_TRUE(r.nu.Cancelled);
    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(r.statuses.back().text, "NetUpdate process cancelled");
    EXPECT_EQ(test::readFile(target / "big.bin"), "old");
    EXPECT_TRUE(tempLeftovers().empty());
    EXPECT_TRUE(r.downloaded.empty());

    // The next transfer sets the flag again.
    r.nu.OnProgressCancel = nullptr;
    EXPECT_TRUE(get(s, "/big.bin"));
    EXPECT_FALSE(r.nu.Cancelled);
}

TEST_F(HttpTransport, SlowBodyIsReceivedWhole)
{
    const std::string data = bytes(20000);
    test::writeFile(root / "slow.bin", data);
    test::writeFile(root / "nolength.bin", data);
    HttpServer s(root.path(), {"--slow", "/slow.bin=40000", "--no-length", "/nolength.bin"});
    int pumps = 0;
    r.nu.pump = [&] { ++pumps; };
    ASSERT_TRUE(get(s, "/slow.bin"));
    EXPECT_EQ(test::readFile(target / "slow.bin"), data);
    EXPECT_GE(pumps, 5);
    r.progress.clear();
    ASSERT_TRUE(get(s, "/nolength.bin"));
    EXPECT_EQ(test::readFile(target / "nolength.bin"), data);
    EXPECT_EQ(r.progress.back(), (std::pair<int64_t, int64_t>{int64_t(data.size()), 0}));  // no length: size 0
}

TEST_F(HttpTransport, BasicAuthentication)
{
    test::writeFile(root / "secure/f.txt", "secret");
    HttpServer s(root.path(), {"--auth", "/secure=joe:pw", "--log", root / "req.log"});
    const std::string joe = "Basic " + std::string("am9lOnB3");  // joe:pw

    // waAuto: asked again on every 401 until the server accepts.
    r.nu.Authenticate = waAuto;
    r.prompter.logins = {LoginRequest{"", "joe", "wrong"}, LoginRequest{"", "joe", "pw"}};
    EXPECT_TRUE(get(s, "/secure/f.txt"));
    EXPECT_EQ(test::readFile(target / "f.txt"), "secret");
    EXPECT_EQ(r.prompter.texts("login").size(), 2u);
    EXPECT_EQ(r.prompter.prompts[0].caption, "Connect to 127.0.0.1:" + std::to_string(s.port()));
    EXPECT_EQ(r.nu.UserID, "joe");
    EXPECT_EQ(r.nu.Password, "pw");
    auto log = nutest::readLines(root / "req.log");
    ASSERT_EQ(log.size(), 3u);
    EXPECT_NE(log[2].find(joe), std::string::npos);

    // The kept credentials are sent without asking.
    r.prompter.prompts.clear();
    EXPECT_TRUE(get(s, "/secure/f.txt"));
    EXPECT_TRUE(r.prompter.prompts.empty());

    // Cancelled: 956.
    r.nu.UserID = r.nu.Password = "";
    r.prompter.logins = {std::nullopt};
    r.statuses.clear();
    EXPECT_FALSE(get(s, "/secure/f.txt"));
    EXPECT_EQ(r.statuses.back().text, "Authentication cancelled");

    // waAlways with both credentials set: no dialog, a 401 is an ordinary HTTP failure.
    r.nu.Authenticate = waAlways;
    r.nu.UserID = "joe";
    r.nu.Password = "bad";
    r.prompter.prompts.clear();
    r.statuses.clear();
    EXPECT_FALSE(get(s, "/secure/f.txt"));
    EXPECT_TRUE(r.prompter.prompts.empty());
    EXPECT_EQ(r.statuses.back().text, "Http status : 401");
    EXPECT_EQ(r.statuses.back().err, 401);

    // waAlways with a missing password asks first, with empty fields.
    r.nu.Password = "";
    r.prompter.logins = {LoginRequest{"", "joe", "pw"}};
    EXPECT_TRUE(get(s, "/secure/f.txt"));
    EXPECT_EQ(r.prompter.prompts.back().text, "");  // the dialog opened empty

    // An empty password still sends the header: the user name and the colon.
    r.nu.Authenticate = waNever;
    r.nu.UserID = "joe";
    r.nu.Password = "";
    fs::removeFile(root / "req.log");
    EXPECT_FALSE(get(s, "/secure/f.txt"));
    log = nutest::readLines(root / "req.log");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("Basic am9lOg=="), std::string::npos) << log[0];
}

TEST_F(HttpTransport, PostSendsTheDataAndKeepsTheReply)
{
    HttpServer s(root.path(), {"--post-log", root / "post.log", "--post-reply", "thanks"});
    r.nu.PostUpdateInfo.Server = "127.0.0.1:" + std::to_string(s.port());
    r.nu.PostUpdateInfo.Action = "/stats.php";
    r.nu.PostUpdateInfo.Data = "user=a b&ver=2";
    r.nu.PostUpdateInfo.Enabled = true;
    r.nu.PostUpdateInfo.PostResult = "old";
    r.statuses.clear();
    r.nu.SendUpdateInfo();
    EXPECT_EQ(r.nu.PostUpdateInfo.PostResult, "thanks");
    auto log = nutest::readLines(root / "post.log");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("\"path\": \"/stats.php\""), std::string::npos);
    EXPECT_NE(log[0].find("\"content-type\": \"application/x-www-form-urlencoded\""), std::string::npos);
    EXPECT_NE(log[0].find("\"body\": \"user=a b&ver=2\""), std::string::npos) << log[0];
    EXPECT_TRUE(r.statuses.empty());

    // No server listening: 951 and the last reply stays.
    r.nu.PostUpdateInfo.Server = "127.0.0.1:1";
    r.nu.SendUpdateInfo();
    ASSERT_EQ(r.statuses.size(), 1u);
    EXPECT_EQ(r.statuses[0].text, "Cannot connect to server for post");
    EXPECT_EQ(r.statuses[0].code, 16);
    EXPECT_EQ(r.statuses[0].err, 5);
    EXPECT_EQ(r.nu.PostUpdateInfo.PostResult, "thanks");

    // Without a server or an action nothing happens.
    r.statuses.clear();
    r.nu.PostUpdateInfo.Server = "";
    r.nu.SendUpdateInfo();
    EXPECT_TRUE(r.statuses.empty());
    EXPECT_EQ(nutest::readLines(root / "post.log").size(), 1u);
}

TEST(FtpTransport, UserAnonymousPassiveDirectoryOncePerConnection)
{
    test::TempDir root, target;
    const std::string data = bytes(10000);
    test::writeFile(root / "pub/a.bin", data);
    test::writeFile(root / "pub/b.txt", "bee");
    test::writeFile(root / "pub/empty.txt", "");
    FtpServer s(root.path(), {"--user", "joe:pw", "--log", root / "ftp.log"});

    struct Case { std::string user, pass; bool passive; std::string login; };
    for (auto& c : std::vector<Case>{{"joe", "pw", true, "USER joe"}, {"joe", "", false, "USER anonymous"}}) {
        fs::removeFile(root / "ftp.log");
        Recorder r;
        r.nu.UpdateType = ftpUpdate;
        r.nu.Host = "127.0.0.1";
        r.nu.Port = s.port();
        r.nu.UserID = c.user;
        r.nu.Password = c.pass;
        r.nu.FTPPassive = c.passive;
        r.nu.FTPDirectory = "pub";
        r.nu.URL = "ftp://127.0.0.1/x";
        ASSERT_EQ(r.nu.OpenConnection(), 0);
        ASSERT_EQ(r.nu.ConnectFtp(), 0);
        const std::string dir = target.path() + "/";
        // Only the file name of the address counts.
        EXPECT_TRUE(r.nu.DownloadFile(r.nu.ConnectionHandle, "ftp://elsewhere/any/a.bin", dir));
        EXPECT_TRUE(r.nu.DownloadFile(r.nu.ConnectionHandle, "b.txt", dir));
        EXPECT_FALSE(r.nu.DownloadFile(r.nu.ConnectionHandle, "empty.txt", dir));
        r.statuses.clear();
        EXPECT_FALSE(r.nu.DownloadFile(r.nu.ConnectionHandle, "nothere.txt", dir));
        EXPECT_EQ(r.statuses.back().text, "File not found : nothere.txt");
        EXPECT_EQ(test::readFile(target / "a.bin"), data);
        EXPECT_EQ(test::readFile(target / "b.txt"), "bee");
        r.statuses.clear();
        r.nu.CloseConnection();
        EXPECT_EQ(r.texts(), (std::vector<std::string>{"Closed FTP connection", "Closed Internet connection", "Closed Internet connection"}));

        auto log = nutest::readLines(root / "ftp.log");
        int logins = 0, cwdPub = 0, passive = 0, active = 0;
        for (auto& l : log) {
            logins += l.rfind("USER ", 0) == 0;
            cwdPub += l == "CWD pub";
            passive += l.rfind("EPSV", 0) == 0 || l.rfind("PASV", 0) == 0;
            active += l.rfind("EPRT", 0) == 0 || l.rfind("PORT", 0) == 0;
        }
        EXPECT_EQ(logins, 1) << c.login;  // one connection for every file
        EXPECT_NE(std::find(log.begin(), log.end(), c.login), log.end()) << c.login;
        EXPECT_GE(cwdPub, 1);
        EXPECT_EQ(passive > 0, c.passive);
        EXPECT_EQ(active > 0, !c.passive);
        fs::removeFile(target / "a.bin");
    }
}

TEST(FtpTransport, RefusedLoginIsReportedAsInternetError)
{
    test::TempDir root;
    FtpServer s(root.path(), {"--user", "joe:pw", "--no-anonymous"});
    Recorder r;
    r.nu.UpdateType = ftpUpdate;
    r.nu.Host = "127.0.0.1";
    r.nu.Port = s.port();
    r.nu.UserID = "joe";
    r.nu.Password = "wrong";
    ASSERT_EQ(r.nu.OpenConnection(), 0);
    r.statuses.clear();
    EXPECT_EQ(r.nu.ConnectFtp(), -1);
    EXPECT_EQ(r.texts(), (std::vector<std::string>{"Connect to host : 127.0.0.1"}));
    r.nu.ReportInternetError();
    ASSERT_EQ(r.statuses.size(), 2u);
    EXPECT_EQ(r.statuses[1].code, 1);
    EXPECT_NE(r.statuses[1].err, 0);
    EXPECT_FALSE(r.statuses[1].text.empty());

    // Without an OnStatus handler the error is shown in a box.
    r.nu.OnStatus = nullptr;
    r.nu.ReportInternetError();
    EXPECT_EQ(r.prompter.texts("message").size(), 1u);
}

TEST(FileTransport, CopiesWithProgressOnTheSourceAndItsStatuses)
{
    test::TempDir src, dst;
    const std::string data = bytes(40000);
    test::writeFile(src / "f.bin", data);
    Recorder r;
    r.nu.UpdateType = fileUpdate;
    ASSERT_EQ(r.nu.OpenConnection(), 0);
    EXPECT_TRUE(r.statuses.empty());

    EXPECT_TRUE(r.nu.DownloadFile(nullptr, src / "f.bin", dst.path() + "/"));
    EXPECT_EQ(test::readFile(dst / "f.bin"), data);
    EXPECT_EQ(r.progressNames.front(), src / "f.bin");
    EXPECT_EQ(r.progress.back(), (std::pair<int64_t, int64_t>{40000, 40000}));
    EXPECT_EQ(r.progress.front().first, 16384);
    EXPECT_EQ(r.downloaded, (std::vector<std::string>{dst / "f.bin"}));

    // A target with a file name part is the target file itself.
    EXPECT_TRUE(r.nu.DownloadFile(nullptr, src / "f.bin", dst / "renamed.bin"));
    EXPECT_EQ(test::readFile(dst / "renamed.bin"), data);

    struct Case { std::string source, target, status; int code, err; };
    const std::vector<Case> cases = {
        {src / "f.bin", src / "f.bin", "Equal source and target files : " + src / "f.bin", 10, 3},
        {src / "none.bin", dst / "none.bin", "File not found : " + src / "none.bin", 2, 1},
        {src.path(), dst / "x", "File not found : " + src.path(), 2, 1},
    };
    for (auto& c : cases) {
        r.statuses.clear();
        EXPECT_FALSE(r.nu.CopyLocalFile(c.source, c.target)) << c.source;
        ASSERT_EQ(r.statuses.size(), 1u) << c.source;
        EXPECT_EQ(r.statuses[0].text, c.status);
        EXPECT_EQ(r.statuses[0].code, c.code);
        EXPECT_EQ(r.statuses[0].err, c.err);
    }
    EXPECT_TRUE(tempLeftovers().empty());
}

TEST(HtmlDialog, ShownThroughThePrompterAndRaisedWhenItFails)
{
    Recorder r;
    r.nu.ShowHtmlDialog("http://127.0.0.1/page.html");
    EXPECT_EQ(r.prompter.texts("html"), (std::vector<std::string>{"http://127.0.0.1/page.html"}));
    r.prompter.htmlResults = {false};
    EXPECT_THROW(r.nu.ShowHtmlDialog("http://127.0.0.1/page.html"), HtmlDialogError);
}
