// didi, the real program, against the real HTTP test server.
#include "dbu_fixtures.h"
#include "platform/files.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zeph;
using zeph::test::readFile;
using zeph::test::TempDir;
using zeph::test::writeFile;

namespace {

std::string bytes(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = char(seed >> 16);
    }
    return s;
}

struct Job {
    std::string capt, dest;
    long long size;
};

void writeJob(const std::string& path, const std::vector<Job>& job)
{
    std::string text;
    for (size_t i = 0; i < job.size(); ++i)
        text += "[Up_" + std::to_string(i) + "]\r\nCapt=" + job[i].capt + "\r\nDest=" + job[i].dest +
                "\r\nSize=" + std::to_string(job[i].size) + "\r\n";
    writeFile(path, text);
}

class DidiTest : public ::testing::Test {
protected:
    TempDir dir{"dbu-didi"};
    std::string srv = dir / "srv";
    std::string dl = dir / "dl/";
    std::string job = dir / "upddb.inf";
    std::string didi = zeph::test::binDir() + "/didi";

    std::string publish(const std::string& name, const std::string& content)
    {
        writeFile(srv + "/updates/zeph/db/" + name + ".dzp", content);
        return content;
    }
    zeph::test::RunResult runDidi(const std::string& server, int timeoutMs = 60000)
    {
        return zeph::test::run({didi, "--console", "--server", server, job}, "", timeoutMs);
    }
    std::string log() { return readFile(dir / "log.txt"); }
};

TEST_F(DidiTest, FetchesEveryPackageIntoDestUnderItsCapt)
{
    std::string a = publish("ANGLBAS", bytes(300000, 1));
    std::string b = publish("nemcpro", bytes(1000, 2));  // published in lower case
    dbutest::HttpServer server(srv);
    writeJob(job, {{"ANGLBAS", dl, (long long)a.size()}, {"NEMCPRO", dl, 0}});
    auto r = runDidi(server.hostPort());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(dl + "ANGLBAS.dzp"), a);
    EXPECT_EQ(readFile(dl + "NEMCPRO.dzp"), b);
    EXPECT_EQ(dbutest::entries(dl), (std::vector<std::string>{"ANGLBAS.dzp", "NEMCPRO.dzp"}));
}

TEST_F(DidiTest, InterruptedTransferResumesWithARangeRequest)
{
    std::string a = publish("ANGLBAS", bytes(500000, 3));
    dbutest::HttpServer server(srv, {"--cut", "/updates/zeph/db/ANGLBAS.dzp=200000", "--log", dir / "log.txt"});
    writeJob(job, {{"ANGLBAS", dl, (long long)a.size()}});
    auto first = runDidi(server.hostPort());
    EXPECT_NE(first.exitCode, 0);
    EXPECT_FALSE(fs::exists(dl + "ANGLBAS.dzp"));
    EXPECT_EQ(readFile(dl + "ANGLBAS.dzp.part"), a.substr(0, 200000));

    auto second = runDidi(server.hostPort());
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(readFile(dl + "ANGLBAS.dzp"), a);
    EXPECT_FALSE(fs::exists(dl + "ANGLBAS.dzp.part"));
    EXPECT_NE(log().find("GET /updates/zeph/db/ANGLBAS.dzp bytes=200000-"), std::string::npos) << log();

    // A third run finds the package in place and asks for nothing.
    auto third = runDidi(server.hostPort());
    EXPECT_EQ(third.exitCode, 0);
    EXPECT_EQ(log().find("bytes=200000-"), log().rfind("bytes=200000-"));
    std::string requests = log();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), '\n'), 2) << requests;
}

TEST_F(DidiTest, FailuresLeaveNoPackageAndExitNonZero)
{
    std::string a = publish("GOOD", bytes(5000, 4));
    publish("BROKEN", bytes(5000, 5));
    publish("OTHER", bytes(300, 9));
    dbutest::HttpServer server(srv, {"--status", "/updates/zeph/db/BROKEN.dzp=500"});
    struct Case {
        const char* what;
        Job entry;
    };
    const Case cases[] = {
        {"404", {"ABSENT", dl, 10}},
        {"500", {"BROKEN", dl, 5000}},
        {"size differs", {"GOOD", dl, 4000}},
    };
    for (const Case& c : cases) {
        writeJob(job, {c.entry, {"OTHER", dl, 300}});
        auto r = runDidi(server.hostPort());
        EXPECT_EQ(r.exitCode, 1) << c.what;
        EXPECT_FALSE(fs::exists(dl + c.entry.capt + ".dzp")) << c.what;
        EXPECT_TRUE(fs::exists(dl + "OTHER.dzp")) << c.what;  // the rest is still fetched
        fs::removeFile(dl + "OTHER.dzp");
    }
    writeJob(job, {{"GOOD", dl, 5000}});
    auto refused = runDidi("127.0.0.1:" + std::to_string(dbutest::closedPort()));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_FALSE(fs::exists(dl + "GOOD.dzp"));

    EXPECT_EQ(zeph::test::run({didi, "--console", dir / "missing.inf"}).exitCode, 2);
}

TEST_F(DidiTest, CaptThatIsNotAPlainNameWritesNothingOutsideDest)
{
    publish("X", bytes(100, 6));
    writeFile(srv + "/updates/zeph/evil.dzp", "evil");
    dbutest::HttpServer server(srv);
    fs::createDirectories(dl);
    writeJob(job, {{"../evil", dl, 4}, {"../../dl2/x", dl, 0}});
    auto r = runDidi(server.hostPort());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "evil.dzp"));
    EXPECT_FALSE(fs::exists(dir / "evil.dzp.part"));
    EXPECT_EQ(dbutest::entries(dir.path()), (std::vector<std::string>{"dl", "srv", "upddb.inf"}));
    EXPECT_TRUE(dbutest::entries(dl).empty());
}

TEST_F(DidiTest, InterruptStopsAndTheNextRunResumes)
{
    std::string a = publish("SLOW", bytes(400000, 7));
    writeJob(job, {{"SLOW", dl, (long long)a.size()}});
    {
        dbutest::HttpServer slow(srv, {"--rate", "100000"});
        pid_t pid = fork();
        if (pid == 0) {
            execl(didi.c_str(), didi.c_str(), "--console", "--server", slow.hostPort().c_str(), job.c_str(),
                  (char*)nullptr);
            _exit(127);
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (fs::fileSize(dl + "SLOW.dzp.part").value_or(0) < 50000 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid, SIGINT);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 3);
    }
    uint64_t kept = fs::fileSize(dl + "SLOW.dzp.part").value_or(0);
    EXPECT_GE(kept, 50000u);
    EXPECT_LT(kept, a.size());
    EXPECT_EQ(readFile(dl + "SLOW.dzp.part"), a.substr(0, kept));

    dbutest::HttpServer fast(srv, {"--log", dir / "log.txt"});
    auto r = runDidi(fast.hostPort());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(dl + "SLOW.dzp"), a);
    EXPECT_NE(log().find("bytes=" + std::to_string(kept) + "-"), std::string::npos) << log();
}

TEST_F(DidiTest, WindowModeDownloadsToo)
{
    std::string a = publish("WIN", bytes(70000, 8));
    dbutest::HttpServer server(srv);
    writeJob(job, {{"WIN", dl, (long long)a.size()}});
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    auto r = zeph::test::run({didi, "--server", server.hostPort(), job});
    unsetenv("QT_QPA_PLATFORM");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(dl + "WIN.dzp"), a);
}

}  // namespace
