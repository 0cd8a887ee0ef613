// Installing downloaded packages: backups, boxes, withheld databases, and kills at every step.
#include "dbu_fixtures.h"
#include "dbupdate/dbupdate.h"
#include "dbupdate/package.h"
#include "platform/files.h"
#include "support/scripted_prompter.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zeph;
using namespace zeph::dbu;
using zeph::test::readFile;
using zeph::test::TempDir;
using zeph::test::writeFile;

namespace {

using dbutest::Lines;

std::string content(const std::string& tag, size_t n = 200000)
{
    std::string s;
    while (s.size() < n) s += tag + std::to_string(s.size()) + ";";
    return s;
}

class InstallTest : public ::testing::Test {
protected:
    TempDir root{"dbu-inst"};
    std::string dbFolder = root / "db/";
    std::string work = root / "work/";
    std::string download = work + "upd/";
    test::ScriptedPrompter prompter;
    Lines memo;

    void SetUp() override
    {
        fs::createDirectories(dbFolder);
        fs::createDirectories(download);
    }
    // A package in the download folder carrying `data` under the stored name.
    void downloaded(const std::string& package, const std::string& storedName, const std::string& data,
                    const std::vector<std::string>& extra = {})
    {
        writeFile(root / "src.bin", data);
        dbutest::pyPackage(root / "src.bin", download + package + ".dzp", storedName, extra);
    }
    void apply(const std::vector<std::string>& installed) { ApplyDatabaseUpdates(download, installed, &memo, prompter, {}); }
};

TEST_F(InstallTest, BackupTakesTheFirstFreeNameAndTwoReplacementsGiveOneBox)
{
    writeFile(dbFolder + "ANGL.di8", "old angl");
    writeFile(dbFolder + "ANGL.old", "older");
    writeFile(dbFolder + "ANGL.old0", "oldest");
    writeFile(dbFolder + "nemc.di8", "old nemc");
    downloaded("ANGLBAS", "angl.DI8", content("A"));  // names match without regard to case
    downloaded("NEMCPRO", "nemc.di8", content("N"));
    apply({dbFolder + "ANGL.di8", dbFolder + "nemc.di8"});

    EXPECT_EQ(readFile(dbFolder + "ANGL.di8"), content("A"));
    EXPECT_EQ(readFile(dbFolder + "ANGL.old1"), "old angl");
    EXPECT_EQ(readFile(dbFolder + "ANGL.old"), "older");
    EXPECT_EQ(readFile(dbFolder + "nemc.di8"), content("N"));
    EXPECT_EQ(readFile(dbFolder + "nemc.old"), "old nemc");
    EXPECT_EQ(memo.lines, (std::vector<std::string>{
                              "Rozbalování souborů", "Rozbalování souborů",
                              "Provedena aktualizace databáze:", dbFolder + "ANGL.di8",
                              "Původní databáze je zálohována v souboru:", dbFolder + "ANGL.old1",
                              "Provedena aktualizace databáze:", dbFolder + "nemc.di8",
                              "Původní databáze je zálohována v souboru:", dbFolder + "nemc.old"}));
    ASSERT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(prompter.prompts[0].caption, "Informace");
    EXPECT_EQ(prompter.prompts[0].text, "Aktualizovaných databází: 2");
    EXPECT_EQ(prompter.prompts[0].icon, Icon::Information);
    // Packages and unpacked databases are gone once installed; nothing else is left behind.
    EXPECT_TRUE(dbutest::entries(download).empty());
    EXPECT_EQ(dbutest::entries(work), (std::vector<std::string>{"upd"}));
    EXPECT_EQ(dbutest::entries(dbFolder), (std::vector<std::string>{"ANGL.di8", "ANGL.old", "ANGL.old0", "ANGL.old1",
                                                                      "nemc.di8", "nemc.old"}));
}

TEST_F(InstallTest, PackageThatFailsVerificationNeverReplacesTheDatabase)
{
    writeFile(dbFolder + "X.di8", "working");
    downloaded("XPKG", "X.di8", content("X"), {"--checksum", "7"});
    apply({dbFolder + "X.di8"});
    EXPECT_EQ(readFile(dbFolder + "X.di8"), "working");
    EXPECT_TRUE(fs::exists(download + "XPKG.dzp"));           // kept for the next run
    EXPECT_TRUE(fs::exists(work + "X.di8" + kWithheldSuffix));  // set aside, not installable
    EXPECT_FALSE(fs::exists(work + "X.di8"));
    EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(InstallTest, TornUnpackFromAnEarlierRunIsSetAsideAndUnpackedAfresh)
{
    writeFile(dbFolder + "X.di8", "working");
    downloaded("XPKG", "X.di8", content("X"));
    writeFile(work + "X.di8", content("X").substr(0, 5000));
    apply({dbFolder + "X.di8"});
    EXPECT_EQ(readFile(dbFolder + "X.di8"), content("X"));
    EXPECT_EQ(readFile(dbFolder + "X.old"), "working");
}

TEST_F(InstallTest, NewDatabaseWithoutInstalledMatchStaysInTheWorkFolder)
{
    writeFile(dbFolder + "X.di8", "working");
    downloaded("YPKG", "Y.di8", content("Y"));
    apply({dbFolder + "X.di8"});
    EXPECT_EQ(readFile(work + "Y.di8"), content("Y"));
    EXPECT_EQ(readFile(dbFolder + "X.di8"), "working");
    EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(InstallTest, BackupPathNaming)
{
    EXPECT_EQ(BackupPath(dbFolder + "a.di8"), dbFolder + "a.old");
    writeFile(dbFolder + "a.old", "");
    EXPECT_EQ(BackupPath(dbFolder + "a.di8"), dbFolder + "a.old0");
    writeFile(dbFolder + "a.old0", "");
    writeFile(dbFolder + "a.old1", "");
    EXPECT_EQ(BackupPath(dbFolder + "a.di8"), dbFolder + "a.old2");
}

// The process is killed at each step of the install; whatever the step, the installed path
// holds a complete database (old or new) or can be completed from a copy beside it, and the
// next run ends with the new database installed and the old one in its backup.
TEST_F(InstallTest, KilledAtEveryStepTheNextRunFinishesWithoutLoss)
{
    const std::string oldDb = content("OLD", 300000), newDb = content("NEW", 400000);
    for (const char* step : {"unpack", "unpacked", "staged", "backed-up", "installed"}) {
        SCOPED_TRACE(step);
        fs::removeTree(root / "db");
        fs::removeTree(work);
        fs::createDirectories(dbFolder);
        fs::createDirectories(download);
        writeFile(dbFolder + "X.di8", oldDb);
        downloaded("XPKG", "X.di8", newDb);

        pid_t pid = fork();
        if (pid == 0) {
            setenv("ZEPH_DBU_KILL_AT", step, 1);
            test::ScriptedPrompter quiet;
            ApplyDatabaseUpdates(download, {dbFolder + "X.di8"}, nullptr, quiet, {});
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        // Right after the kill: a complete database at the path, or a complete new copy beside it.
        std::string at = fs::exists(dbFolder + "X.di8") ? readFile(dbFolder + "X.di8") : "";
        std::string staged = fs::exists(dbFolder + "X.di8" + kNewSuffix) ? readFile(dbFolder + "X.di8" + kNewSuffix) : "";
        EXPECT_TRUE(at == oldDb || at == newDb || (at.empty() && staged == newDb));

        // The next run: recovery, then the install of whatever is left.
        RecoverInterruptedInstalls(dbFolder);
        memo.lines.clear();
        apply({dbFolder + "X.di8"});
        EXPECT_EQ(readFile(dbFolder + "X.di8"), newDb);
        EXPECT_EQ(readFile(dbFolder + "X.old"), oldDb);
        for (const std::string& name : dbutest::entries(dbFolder))
            EXPECT_TRUE(name == "X.di8" || name.rfind("X.old", 0) == 0) << name;
        EXPECT_TRUE(dbutest::entries(download).empty());
        EXPECT_EQ(dbutest::entries(work), (std::vector<std::string>{"upd"}));
    }
}

}  // namespace
