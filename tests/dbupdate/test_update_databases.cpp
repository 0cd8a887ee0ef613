// Whole runs of the database update against a real HTTP server.
#include "dbu_fixtures.h"
#include "dbupdate/dbupdate.h"
#include "dbupdate/updatecatalogue.h"
#include "platform/files.h"
#include "platform/regini.h"
#include "support/scripted_prompter.h"

#include <gtest/gtest.h>

using namespace zeph;

namespace {

using dbutest::Lines;

// A server root whose catalogue package holds the given text.
void publishCatalogue(const test::TempDir& root, const std::string& text)
{
    test::writeFile(root / "catalogue.txt", text);
    fs::createDirectories(root / "updates/zeph");
    dbutest::pyPackage(root / "catalogue.txt", root / "updates/zeph/updatedb.dzp", "updatedb.inf");
}

}  // namespace

TEST(UpdateDatabasesRun, NothingInstalledIsUpToDate)
{
    test::IsolatedHome home;
    test::TempDir root, folder;
    publishCatalogue(root, "[UDates]\r\nAB=39000\r\nABF=AB8\r\nABS=100\r\n");
    test::writeFile(folder / "broken.di8", "not a database");  // unreadable: skipped without a box
    dbutest::HttpServer server(root.path());
    Lines memo;
    test::ScriptedPrompter prompter;
    dbu::UpdateEnvironment env;
    env.prompter = &prompter;
    env.server = server.hostPort();
    dbu::UpdateDatabases(&memo, folder.path(), env);
    EXPECT_EQ(memo.lines, (std::vector<std::string>{"Kontrola aktualizace databází...", "Databáze jsou aktuální.",
                                                    "Aktualizace databází ukončena.", dbu::kClosingRule}));
    EXPECT_TRUE(prompter.prompts.empty());
}

TEST(UpdateDatabasesRun, UnreachableServerStillClosesTheReport)
{
    test::IsolatedHome home;
    test::TempDir folder;
    Lines memo;
    test::ScriptedPrompter prompter;
    dbu::UpdateEnvironment env;
    env.prompter = &prompter;
    env.server = "127.0.0.1:" + std::to_string(dbutest::closedPort());
    dbu::UpdateDatabases(&memo, folder.path(), env);
    ASSERT_EQ(memo.lines.size(), 4u);
    EXPECT_EQ(memo.lines[1], "Došlo k chybě při spojení.");
    EXPECT_EQ(memo.lines[3], dbu::kClosingRule);
}

TEST(UpdateDatabasesRun, InstalledListTakesProfilesOfTheFolderOnly)
{
    test::IsolatedHome home;
    test::TempDir folder, elsewhere;
    test::writeFile(folder / "a.di8", "x");
    test::writeFile(folder / "b.DI8", "x");
    test::writeFile(elsewhere / "c.di8", "x");
    RegIniFile store("Software\\Varnholt\\Zephlon8\\Profiles");
    for (std::string p : {folder / "A.di8", folder / "b.DI8", elsewhere / "c.di8", folder / "gone.di8"})
        store.writeString("k" + std::to_string(p.size()) + p.substr(p.size() - 6), "DataSource", p);
    auto installed = dbu::ListLocalDatabases(folder.path());
    // The folder's own files; "A.di8" is a.di8 again; c lies elsewhere; gone.di8 is missing.
    EXPECT_EQ(installed, (std::vector<std::string>{folder / "a.di8", folder / "b.DI8"}));
}
