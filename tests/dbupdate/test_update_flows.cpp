// Whole database update runs with real databases, the real didi and the real HTTP server:
// the questions, the space check, the purge and the installs.
#include "dbu_fixtures.h"
#include "dbupdate/dbupdate.h"
#include "dbupdate/package.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "support/scripted_prompter.h"

#include <gtest/gtest.h>

using namespace zeph;
using namespace zeph::dbu;
using zeph::test::readFile;
using zeph::test::TempDir;
using zeph::test::writeFile;

namespace {

using dbutest::Lines;

constexpr int kDay2008 = 39448;  // 1 January 2008 as a day count from 30 December 1899

TEST(SpaceMargin, HundredMillionBytesAreAddedToTheFreeSpace)
{
    EXPECT_EQ(SpaceMargin(50000000, {{"A", 120000000}, {"B", 80000000}}), -50000000);
    EXPECT_EQ(-(SpaceMargin(50000000, {{"A", 200000000}}) / 1048576), 47);
    EXPECT_EQ(SpaceMargin(150000000, {{"A", 200000000}}), 50000000);
    EXPECT_EQ(SpaceMargin(0, {{"A", 0}, {"B", 0}}), INT64_MAX);   // sizes unknown: passes
    EXPECT_EQ(SpaceMargin(-1, {{"A", -5}}), INT64_MAX);
    EXPECT_EQ(DiskFreeBytes("/no/such/folder"), -1);
    TempDir d;
    EXPECT_GT(DiskFreeBytes(d.path()), 0);
}

class UpdateFlow : public ::testing::Test {
protected:
    test::IsolatedHome home;
    TempDir srv{"dbu-srv"}, dbs{"dbu-dbs"}, scratch{"dbu-scratch"};
    std::string folder = dbs.path() + "/";
    std::string makeDi8 = test::binDir() + "/make-di8";
    std::string work = WorkFolder();
    std::string download = DownloadFolderOf(WorkFolder());
    test::ScriptedPrompter prompter;
    Lines memo;
    std::unique_ptr<dbutest::HttpServer> server;

    void SetUp() override
    {
        if (!fs::isFile(makeDi8)) GTEST_SKIP() << "make-di8 is not built";
    }
    void TearDown() override { unsetenv("ZEPH_UPDATE_SERVER"); }

    void makeDb(const std::string& path, const std::string& name, int lang1, const std::string& date)
    {
        auto r = test::run({makeDi8, path, "Version=8.0", "Name=" + name, "Lang1ID=" + std::to_string(lang1),
                            "Lang2ID=0", "LangCombination=0", "LangShift=0", "AvailableDicts=0", "Date=" + date,
                            "UpdateVer=1"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // The catalogue, and a newer database packaged under /updates/zeph/db/<PKG>.dzp.
    void publish(const std::string& catalogue)
    {
        writeFile(scratch / "cat.txt", catalogue);
        pack(scratch / "cat.txt", srv / "updates/zeph/updatedb.dzp", "updatedb.inf");
    }
    void pack(const std::string& in, const std::string& out, const std::string& name)
    {
        fs::createDirectories(fs::folderOf(out));
        PackFile(in, out, name);
    }
    std::string newDatabasePackage(const std::string& pkg, const std::string& dbName, const std::string& name, int lang1)
    {
        makeDb(scratch / dbName, name, lang1, "2008-01-01T00:00:00");
        pack(scratch / dbName, srv / ("updates/zeph/db/" + pkg + ".dzp"), dbName);
        return readFile(scratch / dbName);
    }
    void run()
    {
        if (!server) server = std::make_unique<dbutest::HttpServer>(srv.path());
        setenv("ZEPH_UPDATE_SERVER", server->hostPort().c_str(), 1);  // didi's server
        UpdateEnvironment env;
        env.prompter = &prompter;
        env.downloader = test::binDir() + "/didi";
        UpdateDatabases(&memo, folder, env);
    }
    std::vector<std::string> questions() const
    {
        std::vector<std::string> out;
        for (auto& p : prompter.prompts)
            if (p.buttons == Buttons::YesNo) out.push_back(p.text.substr(0, 20));
        return out;
    }
};

const std::string kCatalogue2 = "[UDates]\r\nAB=39448\r\nABF=anglbas\r\nABS=0\r\nNP=39448\r\nNPF=nemcpro\r\nNPS=0\r\n";

TEST_F(UpdateFlow, TwoOutdatedDatabasesAreDownloadedAndReplacedThenAllIsCurrent)
{
    makeDb(folder + "angl.di8", "BAS Anglicko-český", 1, "2007-06-01T00:00:00");
    makeDb(folder + "nemc.di8", "PRO Německo-český", 2, "2007-06-01T00:00:00");
    makeDb(folder + "old2004.di8", "BAS 2004", 1, "2001-01-01T00:00:00");  // never updated
    std::string oldAngl = readFile(folder + "angl.di8");
    std::string newAngl = newDatabasePackage("ANGLBAS", "angl.di8", "BAS Anglicko-český", 1);
    std::string newNemc = newDatabasePackage("NEMCPRO", "nemc.di8", "PRO Německo-český", 2);
    publish(kCatalogue2);
    prompter.answers = {Answer::No, Answer::Yes};
    run();

    EXPECT_EQ(memo.lines, (std::vector<std::string>{
                              "Kontrola aktualizace databází...", "Stahování ukončeno.", "Rozbalování souborů",
                              "Rozbalování souborů", "Provedena aktualizace databáze:", folder + "angl.di8",
                              "Původní databáze je zálohována v souboru:", folder + "angl.old",
                              "Provedena aktualizace databáze:", folder + "nemc.di8",
                              "Původní databáze je zálohována v souboru:", folder + "nemc.old",
                              "Aktualizace databází ukončena.", kClosingRule}));
    EXPECT_EQ(readFile(folder + "angl.di8"), newAngl);
    EXPECT_EQ(readFile(folder + "nemc.di8"), newNemc);
    EXPECT_EQ(readFile(folder + "angl.old"), oldAngl);
    ASSERT_EQ(prompter.prompts.size(), 3u);
    EXPECT_EQ(prompter.prompts[0].text.find("Byla nalezena aktualizace databáze."), 0u);
    EXPECT_NE(prompter.prompts[0].text.find(folder + "\r\nbez podadresářů.\r\n\r\nChcete nyní přerušit aktualizaci?"),
              std::string::npos);
    EXPECT_EQ(prompter.prompts[2].text, "Aktualizovaných databází: 2");
    ini::Document job = ini::Document::load(work + kJobFileName);
    EXPECT_EQ(job.get("Up_0", "Capt", ""), "ANGLBAS");
    EXPECT_EQ(job.get("Up_1", "Capt", ""), "NEMCPRO");
    EXPECT_EQ(job.get("Up_0", "Dest", ""), download);

    memo.lines.clear();
    prompter.prompts.clear();
    run();
    EXPECT_EQ(memo.lines, (std::vector<std::string>{"Kontrola aktualizace databází...", "Databáze jsou aktuální.",
                                                    "Aktualizace databází ukončena.", kClosingRule}));
    EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(UpdateFlow, StoppingAtQuestionOneStillInstallsWhatAnEarlierRunFetched)
{
    makeDb(folder + "angl.di8", "BAS Anglicko-český", 1, "2007-06-01T00:00:00");
    makeDb(folder + "nemc.di8", "PRO Německo-český", 2, "2007-06-01T00:00:00");
    std::string newAngl = newDatabasePackage("ANGLBAS", "angl.di8", "BAS Anglicko-český", 1);
    publish(kCatalogue2);
    fs::createDirectories(download);
    fs::copyFile(srv / "updates/zeph/db/ANGLBAS.dzp", download + "ANGLBAS.dzp", true);  // earlier download
    writeFile(download + "STALE.dzp", "belongs to nothing pending");
    prompter.answers = {Answer::Yes};
    run();
    EXPECT_EQ(questions().size(), 1u);
    EXPECT_FALSE(fs::exists(work + kJobFileName));
    EXPECT_FALSE(fs::exists(download + "STALE.dzp"));  // purged
    EXPECT_FALSE(memo.has("Stahování ukončeno."));
    EXPECT_EQ(readFile(folder + "angl.di8"), newAngl);
    EXPECT_TRUE(fs::exists(folder + "angl.old"));
    EXPECT_FALSE(fs::exists(folder + "nemc.old"));
}

TEST_F(UpdateFlow, NoToQuestionTwoWritesTheJobButDownloadsNothing)
{
    makeDb(folder + "angl.di8", "BAS Anglicko-český", 1, "2007-06-01T00:00:00");
    newDatabasePackage("ANGLBAS", "angl.di8", "BAS Anglicko-český", 1);
    publish(kCatalogue2);
    prompter.answers = {Answer::No, Answer::No};
    run();
    EXPECT_EQ(questions().size(), 2u);
    EXPECT_TRUE(fs::exists(work + kJobFileName));
    EXPECT_FALSE(fs::exists(download + "ANGLBAS.dzp"));
    EXPECT_FALSE(memo.has("Stahování ukončeno."));
    EXPECT_FALSE(fs::exists(folder + "angl.old"));
}

TEST_F(UpdateFlow, EverythingAlreadyDownloadedInstallsWithoutAQuestion)
{
    makeDb(folder + "angl.di8", "BAS Anglicko-český", 1, "2007-06-01T00:00:00");
    std::string newAngl = newDatabasePackage("ANGLBAS", "angl.di8", "BAS Anglicko-český", 1);
    publish(kCatalogue2);
    fs::createDirectories(download);
    fs::copyFile(srv / "updates/zeph/db/ANGLBAS.dzp", download + "ANGLBAS.dzp", true);
    run();
    EXPECT_TRUE(questions().empty());
    EXPECT_EQ(readFile(folder + "angl.di8"), newAngl);
}

TEST_F(UpdateFlow, NotEnoughSpaceShowsTheMountPointAndTheMegabytesToFree)
{
    makeDb(folder + "angl.di8", "BAS Anglicko-český", 1, "2007-06-01T00:00:00");
    publish("[UDates]\r\nAB=39448\r\nABF=anglbas\r\nABS=200000000\r\n");
    prompter.answers = {Answer::No};
    server = std::make_unique<dbutest::HttpServer>(srv.path());
    UpdateEnvironment env;
    env.prompter = &prompter;
    env.server = server->hostPort();
    env.diskFree = [](const std::string&) { return int64_t(50000000); };
    UpdateDatabases(&memo, folder, env);
    EXPECT_TRUE(memo.has("Nedostatek místa na disku " + DriveLabel(download) + ":.")) << memo.lines[1];
    EXPECT_TRUE(memo.has("Je třeba uvolnit alespoň 47 MB."));
    EXPECT_EQ(questions().size(), 1u);
    EXPECT_TRUE(fs::exists(work + kJobFileName));
}

}  // namespace
