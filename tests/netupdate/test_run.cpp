#include "netupdate/checksum.h"
#include "netupdate/file_version.h"
#include "netupdate/netupdate.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "support/scripted_prompter.h"
#include "support/test_env.h"
#include "test_transport_servers.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

using namespace zeph;
using namespace zeph::nu;
using nutest::HttpServer;

namespace {

// The hand-off is a later step; here it only records what the run asked of it.
struct RecordingHandOff : UpdaterHandOff {
    std::vector<std::string> calls;
    void WriteUpdaterHelper(TNetUpdate&) override { calls.push_back("helper"); }
    void WritePatchTool(TNetUpdate&) override { calls.push_back("patchtool"); }
    void RestartForUpdate(TNetUpdate&) override { calls.push_back("restart"); }
    void ExecuteAndWait(TNetUpdate&, const std::string& cmd, bool, const std::string&, const std::string&, bool) override
    {
        calls.push_back("exec " + cmd);
    }
};

// One run against a real HTTP server serving the folder "www", with files installed below "app".
class Run : public ::testing::Test {
protected:
    test::TempDir base;
    std::string www, app, tmp;
    std::unique_ptr<HttpServer> server;
    TNetUpdate nu;
    test::ScriptedPrompter prompter;
    std::shared_ptr<RecordingHandOff> handOff = std::make_shared<RecordingHandOff>();
    std::vector<std::string> statuses;
    std::vector<int> codes;
    std::vector<std::string> events;
    std::string oldTmp;

    void SetUp() override
    {
        www = base / "www";
        app = base / "app";
        tmp = base / "tmp";
        for (auto& d : {www, app, tmp}) std::filesystem::create_directories(d);
        oldTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
        setenv("TMPDIR", tmp.c_str(), 1);
        server = std::make_unique<HttpServer>(www);
        ApplyControlPanelSettings(nu);
        nu.prompter = &prompter;
        nu.handOff = handOff;
        nu.URL = server->url("/updates/zeph/update.inf");
        nu.OnStatus = [this](TNetUpdate&, const std::string& t, int32_t c, int32_t) {
            statuses.push_back(t);
            codes.push_back(c);
        };
        nu.OnSuccess = [this](TNetUpdate&) { events.push_back("success"); };
    }
    void TearDown() override
    {
        if (oldTmp.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", oldTmp.c_str(), 1);
    }
    void control(const std::string& text) { test::writeFile(www + "/updates/zeph/update.inf", text); }
    void serve(const std::string& name, const std::string& data) { test::writeFile(www + "/" + name, data); }
    std::string url(const std::string& name) { return server->url("/" + name); }
    // The statuses after the six start-of-run lines.
    std::vector<std::string> afterStart() const { return {statuses.begin() + std::min<size_t>(6, statuses.size()), statuses.end()}; }
    bool has(const std::string& s) const { return std::find(statuses.begin(), statuses.end(), s) != statuses.end(); }
    int count(const std::string& prefix) const
    {
        int n = 0;
        for (auto& s : statuses) n += s.rfind(prefix, 0) == 0;
        return n;
    }
    std::string fileSection(int n, const std::string& name, const std::string& extra)
    {
        return "[file" + std::to_string(n) + "]\nurl=" + url(name) + "\ntargetdir=" + app + "\ndescr=" + name + "\n" + extra + "\n";
    }
};

const std::string kOurVersion = ProgramVersionText();

}  // namespace

TEST_F(Run, FetchesByVersionAndByChecksumWithTheStatusesInOrder)
{
    ASSERT_FALSE(kOurVersion.empty());
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    test::writeFile(app + "/data.txt", "old data");
    const int32_t oldSum = FileCRC32(app + "/data.txt");
    serve("tool.bin", "new tool");
    serve("data.txt", "new data");
    control("[update]\nnewversion=99.0.0.0\nlocalversion=" + self + "\n"
            "[files]\ncount=2\n" +
            fileSection(1, "tool.bin", "newversion=99.1\nlocalversion=" + self) +
            fileSection(2, "data.txt", "newchecksum=" + std::to_string(oldSum + 1) + "\nlocalversion=" + app + "/data.txt"));
    nu.RunUpdate(false);

    EXPECT_EQ(test::readFile(app + "/tool.bin"), "new tool");
    EXPECT_EQ(test::readFile(app + "/data.txt"), "new data");
    const std::string ctl = url("updates/zeph/update.inf");
    const std::vector<std::string> expected = {
        "Checking for Internet connection",
        "Found open Internet connection",
        "Download : " + ctl,
        "Update control file found",
        "Version based update found",
        "Version check : Version compare of " + self + ":" + kOurVersion + " with 99.0.0.0:99.0.0.0",
        "New version found : 99.0.0.0",
        "Found file update instruction",
        "Processing file : " + url("tool.bin") + "[" + self + ",nv=99.1,nd=,ns=0,nc=-1]",
        "Version check : Version compare of " + self + ":" + kOurVersion + " with 99.1:99.1.0.0",
        "Processing file : " + url("data.txt") + "[" + app + "/data.txt,nv=,nd=,ns=0,nc=" + std::to_string(oldSum + 1) + "]",
        "Version check : Checksum compare of " + app + "/data.txt:" + std::to_string(oldSum) + ":" + std::to_string(oldSum + 1),
        "Download : " + url("tool.bin"),
        "Download : " + url("data.txt"),
        "Finished processing update control file",
        "Closed Internet connection",
        "Closed Internet connection",
    };
    EXPECT_EQ(afterStart(), expected);
    EXPECT_EQ(statuses[0], "Start update : Non threaded update ---------------------------");
    EXPECT_EQ(statuses[5], "Start NetUpdate process with version : 2.0.5.0");
    EXPECT_EQ(events, (std::vector<std::string>{"success"}));
    // The control file copy is gone and nothing is left in the temporary folder.
    EXPECT_TRUE(fs::list(tmp).empty());
}

TEST_F(Run, UpdateConditions)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    test::writeFile(app + "/old.txt", "x");
    setenv("TZ", "UTC", 1);
    fs::setModificationTime(app + "/old.txt", dt::toTimeT({2008, 6, 15, 12, 0, 0, 0}));
    struct Case {
        std::string name, update;
        TNetUpdateVersionCheck check;
        bool updates;
    };
    const std::vector<Case> cases = {
        {"equal versions", "newversion=" + kOurVersion + "\nlocalversion=" + self, vcAlways, false},
        {"higher version", "newversion=99.0\nlocalversion=" + self, vcUpdateOnly, true},
        {"no version record, vcAlways", "newversion=1.0\nlocalversion=" + app + "/old.txt", vcAlways, true},
        {"no version record, vcUpdateOnly", "newversion=1.0\nlocalversion=" + app + "/old.txt", vcUpdateOnly, false},
        {"missing file by version, vcUpdateOnly", "newversion=1.0\nlocalversion=" + app + "/none.exe", vcUpdateOnly, false},
        {"missing file by checksum, vcUpdateOnly", "newchecksum=12345\nlocalversion=" + app + "/none.exe", vcUpdateOnly, true},
        {"missing file, vcAlways", "newversion=1.0\nlocalversion=" + app + "/none.exe", vcAlways, true},
        {"same date", "date=15/06/2008\ntime=12:00\nlocalversion=" + app + "/old.txt", vcAlways, false},
        {"newer date", "date=16/06/2008\nlocalversion=" + app + "/old.txt", vcAlways, true},
        // The date says no, the version comparison that follows says yes.
        {"older date, higher version", "date=01/01/2008\nnewversion=99.0\nlocalversion=" + self, vcAlways, true},
        {"unconditional", "unconditional=0\nnewversion=" + kOurVersion + "\nlocalversion=" + self, vcAlways, true},
        {"no condition", "descr=nothing", vcAlways, false},
    };
    serve("f.txt", "fresh");
    for (auto& c : cases) {
        statuses.clear();
        codes.clear();
        events.clear();
        fs::removeFile(app + "/f.txt");
        nu.VersionCheck = c.check;
        control("[update]\n" + c.update + "\n[files]\ncount=1\n" + fileSection(1, "f.txt", ""));
        nu.RunUpdate(false);
        EXPECT_EQ(fs::exists(app + "/f.txt"), c.updates) << c.name;
        EXPECT_EQ(has("Finished processing update control file"), c.updates) << c.name;
        if (!c.updates && c.name != "no condition") {
            EXPECT_TRUE(has("No new version found")) << c.name;
            auto at = std::find(statuses.begin(), statuses.end(), "No new version found") - statuses.begin();
            EXPECT_EQ(codes[size_t(at)], 4) << c.name;
        }
        EXPECT_EQ(statuses.back(), "Closed Internet connection") << c.name;
    }
    unsetenv("TZ");
}

TEST_F(Run, PromptModes)
{
    serve("a.txt", "A");
    serve("b.txt", "B");
    control("[update]\nunconditional=1\n[files]\ncount=2\n" + fileSection(1, "a.txt", "") + fileSection(2, "b.txt", ""));
    struct Case {
        TNetUpdateUpdate mode;
        std::deque<Answer> answers;
        std::vector<std::string> questions;
        bool a, b;
    };
    const std::vector<Case> cases = {
        {nuuPromptOnce, {Answer::Yes}, {"Download update files ?"}, true, true},
        {nuuPromptOnce, {Answer::No}, {"Download update files ?"}, false, false},
        {nuuPromptAll, {Answer::No, Answer::Yes}, {"Download update file : a.txt", "Download update file : b.txt"}, false, true},
        {nuuSilent, {}, {}, true, true},
    };
    for (auto& c : cases) {
        fs::removeFile(app + "/a.txt");
        fs::removeFile(app + "/b.txt");
        prompter.prompts.clear();
        prompter.answers = c.answers;
        nu.UpdateUpdate = c.mode;
        nu.RunUpdate(false);
        EXPECT_EQ(prompter.texts(), c.questions) << int(c.mode);
        EXPECT_EQ(fs::exists(app + "/a.txt"), c.a) << int(c.mode);
        EXPECT_EQ(fs::exists(app + "/b.txt"), c.b) << int(c.mode);
    }
}

TEST_F(Run, FailedDownloadGoesOnButClearsTheApplicationUpdate)
{
    serve("comp.bin", "component");
    serve("c.txt", "C");
    control("[update]\nunconditional=1\n[application]\nappupdate=1\nappname=" + app + "/prog\nappcomps=COMP.BIN\n"
            "[files]\ncount=3\n" +
            fileSection(1, "comp.bin", "") + fileSection(2, "missing.txt", "") + fileSection(3, "c.txt", ""));
    nu.RunUpdate(false);
    EXPECT_EQ(test::readFile(app + "/c.txt"), "C");
    EXPECT_TRUE(has("Cannot download update file : " + url("missing.txt")));
    EXPECT_TRUE(has("Found application component : comp.bin"));
    // The component stays where it was fetched.
    EXPECT_TRUE(fs::exists(tmp + "/comp.bin"));
    EXPECT_FALSE(fs::exists(app + "/comp.bin"));
    EXPECT_TRUE(nu.AppComponentUpdated);
    EXPECT_FALSE(nu.AppUpdate);
    EXPECT_FALSE(nu.RestartNeeded());
    EXPECT_TRUE(handOff->calls.empty());
    EXPECT_EQ(events, (std::vector<std::string>{"success"}));  // failures do not hold it back

    // Without the failure the run hands over.
    control("[update]\nunconditional=1\n[application]\nappupdate=1\nappname=" + app + "/prog\nappcomps=COMP.BIN\n"
            "[files]\ncount=1\n" + fileSection(1, "comp.bin", ""));
    nu.RunUpdate(false);
    EXPECT_TRUE(nu.RestartNeeded());
    EXPECT_EQ(handOff->calls, (std::vector<std::string>{"restart"}));
}

TEST_F(Run, FileListHandlerDropsTheSecondOfThree)
{
    for (auto n : {"1.txt", "2.txt", "3.txt"}) serve(n, n);
    control("[update]\nunconditional=1\n[files]\ncount=3\n" + fileSection(1, "1.txt", "") + fileSection(2, "2.txt", "") +
            fileSection(3, "3.txt", ""));
    std::vector<std::string> seen;
    nu.OnGetFileList = [&](TNetUpdate&, std::vector<std::string>& list) {
        seen = list;
        list[1].clear();
    };
    std::vector<std::pair<int, std::string>> before;
    nu.OnBeforeFileDownload = [&](TNetUpdate&, int32_t idx, const std::string& d, std::string&) { before.emplace_back(idx, d); };
    nu.RunUpdate(false);
    EXPECT_EQ(seen, (std::vector<std::string>{"1.txt", "2.txt", "3.txt"}));
    EXPECT_TRUE(fs::exists(app + "/1.txt"));
    EXPECT_FALSE(fs::exists(app + "/2.txt"));
    EXPECT_TRUE(fs::exists(app + "/3.txt"));
    EXPECT_EQ(before, (std::vector<std::pair<int, std::string>>{{1, "1.txt"}, {2, "3.txt"}}));
}

TEST_F(Run, ChangedAddressIsFetchedUnderItsOwnName)
{
    serve("other.txt", "other");
    control("[update]\nunconditional=1\n[files]\ncount=1\n" + fileSection(1, "f.txt", ""));
    nu.OnBeforeFileDownload = [&](TNetUpdate&, int32_t, const std::string&, std::string& u) { u = url("other.txt"); };
    nu.RunUpdate(false);
    EXPECT_EQ(test::readFile(app + "/other.txt"), "other");
    EXPECT_TRUE(fs::list(tmp).empty());
}

TEST_F(Run, QueryOnTwoLinesAnsweredNoEndsTheRun)
{
    serve("f.txt", "F");
    control("[update]\nunconditional=1\n[action]\nmsg=Hello\\nthere\nquery=Install now?\\nOK?\n[files]\ncount=1\n" +
            fileSection(1, "f.txt", ""));
    prompter.answers = {Answer::Ok, Answer::No};
    nu.RunUpdate(false);
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Hello\rthere", "Install now?\rOK?"}));
    EXPECT_EQ(prompter.prompts[1].buttons, Buttons::YesNo);
    EXPECT_FALSE(fs::exists(app + "/f.txt"));
    EXPECT_TRUE(events.empty());
    auto tail = afterStart();
    EXPECT_EQ(std::vector<std::string>(tail.end() - 4, tail.end()),
              (std::vector<std::string>{"Found message instruction", "Found query instruction", "Closed Internet connection",
                                        "Closed Internet connection"}));
}

TEST_F(Run, NoSessionWithNucNoneAndNoControlFile)
{
    nu.UpdateConnect = nucNone;
    control("[update]\nunconditional=1\n");
    nu.RunUpdate(false);
    EXPECT_EQ(afterStart(), (std::vector<std::string>{"Checking for Internet connection", "Closed Internet connection"}));

    // A control file that is not there: 925, then the closing statuses.
    nu.UpdateConnect = nucNoConnect;
    nu.URL = url("nothere.inf");
    statuses.clear();
    nu.RunUpdate(false);
    auto tail = afterStart();
    EXPECT_EQ(std::vector<std::string>(tail.end() - 4, tail.end()),
              (std::vector<std::string>{"Http status : 404", "Update control file not found", "Closed Internet connection",
                                        "Closed Internet connection"}));
}

TEST_F(Run, TextsAndDialogs)
{
    serve("news.txt", "Line one\r\nLine two\r\n");
    serve("eula.txt", "Terms\r\n");
    serve("f.txt", "F");
    control("[update]\nunconditional=1\n[whatsnew]\nfile=" + url("news.txt") + "\ncaption=Novinky\n[eula]\nfile=" + url("eula.txt") +
            "\n[files]\ncount=1\n" + fileSection(1, "f.txt", ""));
    // Accepted both.
    nu.RunUpdate(false);
    ASSERT_EQ(prompter.texts("text"), (std::vector<std::string>{"Line one\nLine two", "Terms"}));
    EXPECT_EQ(prompter.prompts[0].caption, "Novinky");
    EXPECT_TRUE(fs::exists(app + "/f.txt"));

    // What's new declined: 938, the licence is fetched but not shown, no files.
    fs::removeFile(app + "/f.txt");
    prompter.prompts.clear();
    prompter.textResults = {false};
    statuses.clear();
    nu.RunUpdate(false);
    EXPECT_EQ(prompter.texts("text").size(), 1u);
    EXPECT_TRUE(has("Whatsnew not accepted"));
    EXPECT_TRUE(has("Found license agreement instruction"));
    EXPECT_FALSE(fs::exists(app + "/f.txt"));

    // Licence refused by the host's handler.
    nu.OnDownloadedEULA = [](TNetUpdate&, const std::vector<std::string>& t, int32_t& res) { res = t == std::vector<std::string>{"Terms"} ? 0 : 1; };
    nu.RunUpdate(false);
    EXPECT_FALSE(fs::exists(app + "/f.txt"));
    EXPECT_TRUE(fs::list(tmp).empty());
}

TEST_F(Run, CabinetsAndLzFilesAreUnpackedIntoTheTarget)
{
    test::TempDir src;
    std::filesystem::create_directories(src / "doc");
    test::writeFile(src / "doc/readme.txt", "inside the cabinet");
    auto r = test::run({"sh", "-c", "cd " + src.path() + " && gcab -c -z " + www + "/pack.cab doc/readme.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    test::writeFile(src / "lib.txt", "expanded library text, expanded library text");
    r = test::run({"python3", nutest::supportScript("nu_szdd.py"), src / "lib.txt", www + "/lib.tx_", "--missing", "t"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    test::writeFile(www + "/bad.cab", "not a cabinet");
    control("[update]\nunconditional=1\n[files]\ncount=3\n" + fileSection(1, "pack.cab", "compressed=1") +
            fileSection(2, "lib.tx_", "compressed=1") + fileSection(3, "bad.cab", "compressed=1"));
    nu.RunUpdate(false);
    EXPECT_EQ(test::readFile(app + "/doc/readme.txt"), "inside the cabinet");
    EXPECT_EQ(test::readFile(app + "/lib.txt"), "expanded library text, expanded library text");
    EXPECT_FALSE(fs::exists(app + "/lib.tx_"));
    // The control panel keeps intermediate files: the cabinets stay in the temporary folder.
    EXPECT_TRUE(fs::exists(tmp + "/pack.cab"));
    EXPECT_TRUE(has("Error decompressing CAB file : " + tmp + "/bad.cab"));
}

TEST_F(Run, ThreadedRunIsPostedAndCompletedOnTheMainThread)
{
    serve("comp.bin", "component");
    control("[update]\nunconditional=1\n[application]\nappupdate=1\nappname=" + app + "/prog\nappcomps=comp.bin\n"
            "[files]\ncount=1\n" + fileSection(1, "comp.bin", ""));
    // The test's main loop: calls posted by the worker run here, one at a time.
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::pair<std::function<void()>, std::shared_ptr<std::promise<void>>>> queue;
    nu.runOnMainThread = [&](const std::function<void()>& f) {
        auto done = std::make_shared<std::promise<void>>();
        auto fut = done->get_future();
        {
            std::lock_guard l(m);
            queue.emplace_back(f, done);
        }
        cv.notify_one();
        fut.wait();
    };
    const auto mainThread = std::this_thread::get_id();
    std::vector<bool> onMain;
    nu.OnStatus = [&](TNetUpdate&, const std::string& t, int32_t, int32_t) {
        statuses.push_back(t);
        onMain.push_back(std::this_thread::get_id() == mainThread);
    };
    bool done = false;
    nu.OnThreadUpdateDone = [&](TNetUpdate&) { done = true; };

    nu.StartThreadedUpdate();
    EXPECT_TRUE(nu.Threaded);
    EXPECT_TRUE(statuses.empty());  // nothing has run yet
    for (int served = 0; served < 2;) {
        std::unique_lock l(m);
        ASSERT_TRUE(cv.wait_for(l, std::chrono::seconds(60), [&] { return !queue.empty(); }));
        auto [f, p] = queue.front();
        queue.pop_front();
        l.unlock();
        f();
        p->set_value();
        ++served;
    }
    EXPECT_TRUE(done);
    EXPECT_FALSE(nu.Threaded);
    EXPECT_EQ(statuses.front(), "Start update : Threaded update ---------------------------");
    EXPECT_EQ(std::vector<std::string>(statuses.end() - 3, statuses.end()),
              (std::vector<std::string>{"Closed Internet connection", "Threaded update execution done", "Restart after threaded update"}));
    EXPECT_EQ(handOff->calls, (std::vector<std::string>{"restart"}));  // once, by the completion
    EXPECT_EQ(std::count(onMain.begin(), onMain.end(), false), 0);
}

TEST_F(Run, ClosingStepsPostPatchAndCancel)
{
    serve("a.txt", "A");
    serve("fix.pat", "patch data");
    const std::string head = "[update]\nunconditional=1\n[files]\ncount=2\n";
    control(head + fileSection(1, "a.txt", "") + fileSection(2, "fix.pat", "localversion=" + app + "/prog"));
    std::filesystem::create_directories(www + "/stats");
    nu.PostUpdateInfo = {"127.0.0.1:" + std::to_string(server->port()), "/stats/post.php", "ok=1", true, ""};
    bool allowResult = false;
    nu.OnProcessPostResult = [&](TNetUpdate&, bool& allow) { allow = allowResult; };
    nu.RunUpdate(false);
    // The patcher gets the fetched patch by its full path.
    EXPECT_EQ(handOff->calls, (std::vector<std::string>{"exec patcher " + tmp + "/fix.pat " + app + "/prog"}));
    EXPECT_FALSE(nu.PostUpdateInfo.PostResult.empty());  // the server answered the post
    EXPECT_FALSE(has("Finished processing update control file"));  // the host refused the post result
    EXPECT_EQ(events, (std::vector<std::string>{"success"}));

    // The last download cancelled: no closing steps, no success.
    nu.PostUpdateInfo.Enabled = false;
    statuses.clear();
    events.clear();
    int n = 0;
    nu.OnBeforeFileDownload = [&](TNetUpdate&, int32_t idx, const std::string&, std::string&) { n = idx; };
    nu.OnProgressCancel = [&](TNetUpdate&, bool& cancel) { cancel = n == 2; };
    nu.RunUpdate(false);
    EXPECT_TRUE(has("NetUpdate process cancelled"));
    EXPECT_TRUE(has("Cannot download update file : " + url("fix.pat")));
    EXPECT_FALSE(has("Finished processing update control file"));
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(nu.Cancelled);
}
