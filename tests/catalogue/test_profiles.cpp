#include "catalogue/profiles.h"
#include "di8_fixture.h"
#include "platform/registry.h"
#include "support/scripted_prompter.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace zeph;
using namespace zeph::cat;

namespace {
const std::string kRestoreCaption = "Inicializace slovníkových databází";

void storeProfile(const std::string& path, const std::vector<std::pair<std::string, std::string>>& values)
{
    auto key = reg::Key::open(reg::Root::CurrentUser, std::string(kProfilesKey) + "\\" + ProfileKey(path), true);
    for (auto& [n, v] : values) key->setText(n, v);
}
}  // namespace

TEST(Profiles, KeysNeverHoldASeparator)
{
    EXPECT_EQ(ProfileKey("C:\\Slovniky\\AC.di8"), "C:#Slovniky#AC.di8");
    EXPECT_EQ(ProfileKey("/home/eva/ZephDict/AC.di8"), "#home#eva#ZephDict#AC.di8");
}

TEST(Profiles, LoadSkipsDefaultAndFillsDefaults)
{
    test::IsolatedHome home;
    storeProfile("/d/a.di8", {{"DataSource", "/d/a.di8"}, {"LangCombination", "2"}, {"OriginalDatabaseName", "Orig"}});
    storeProfile("/d/b.di8", {{"OriginalDatabaseName", "B"}, {"NewName", "Mine"}, {"LangCombination", "x"}});
    storeProfile("Default", {{"DataSource", "/never"}});
    auto list = LoadProfiles();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].DataSource, "/d/a.di8");
    EXPECT_EQ(list[0].Name, "Orig");
    EXPECT_EQ(list[0].LangCombination, 2);
    EXPECT_EQ(list[1].DataSource, "<nezadáno>");
    EXPECT_EQ(list[1].Name, "Mine");
    EXPECT_EQ(list[1].LangCombination, 0);
}

TEST(Profiles, RenameToEmptyRestoresTheOriginalAndRemovalSurvivesARestart)
{
    test::IsolatedHome home;
    storeProfile("/d/a.di8", {{"DataSource", "/d/a.di8"}, {"OriginalDatabaseName", "Anglicko-český"}});
    storeProfile("/d/b.di8", {{"DataSource", "/d/b.di8"}, {"OriginalDatabaseName", "B"}});
    test::ScriptedPrompter prompter;
    int changes = 0;
    DictionaryList list(prompter);
    list.onChanged = [&] { ++changes; };
    list.LoadFromStore();
    ASSERT_EQ(list.items().size(), 2u);
    EXPECT_EQ(list.Rename(0, "Můj"), "Můj");
    EXPECT_EQ(list.Rename(0, ""), "Anglicko-český");
    EXPECT_EQ(LoadProfiles()[0].Name, "Anglicko-český");
    prompter.answers = {Answer::No, Answer::Yes};
    list.DeleteProfile(1);
    EXPECT_EQ(list.items().size(), 2u);
    list.DeleteProfile(1);
    EXPECT_EQ(list.items().size(), 1u);
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Opravdu chcete odebrat vybraného zástupce?",
                                                          "Opravdu chcete odebrat vybraného zástupce?"}));
    DictionaryList again(prompter);
    again.LoadFromStore();
    ASSERT_EQ(again.items().size(), 1u);
    EXPECT_EQ(again.items()[0].path, "/d/a.di8");
    EXPECT_EQ(changes, 2 + 2 + 1);
}

TEST(Profiles, FindsSubfolderFilesFirst)
{
    test::TempDir dir;
    for (auto f : {"z.di8", "a.di8", "A.DI8", "sub/b.di8", "sub/deeper/c.di8", "sub/x.txt", "b2/d.di8"})
        test::writeFile(dir / f, "x");
    auto files = FindDatabaseFiles(dir.path(), "*.di8", true);
    std::vector<std::string> rel;
    for (auto& f : files) rel.push_back(f.substr(dir.path().size() + 1));
    EXPECT_EQ(rel, (std::vector<std::string>{"b2/d.di8", "sub/deeper/c.di8", "sub/b.di8", "A.DI8", "a.di8", "z.di8"}));
    EXPECT_EQ(FindDatabaseFiles(dir.path(), "*.di8", false).size(), 3u);

    // Links back up the tree: every folder is searched once, and the search ends.
    ASSERT_EQ(symlink("..", (dir / "sub/up").c_str()), 0);
    ASSERT_EQ(symlink(".", (dir / "sub/deeper/here").c_str()), 0);
    EXPECT_EQ(FindDatabaseFiles(dir.path(), "*.di8", true).size(), files.size());
}

TEST(Profiles, RestoreInAMissingFolderShowsBothMessagesAndEmptiesTheList)
{
    test::IsolatedHome home;
    storeProfile("/d/a.di8", {{"DataSource", "/d/a.di8"}});
    storeProfile("Default", {{"x", "1"}});
    test::ScriptedPrompter prompter;
    DictionaryList list(prompter);
    list.LoadFromStore();
    list.databaseFolder = [&] { return home.path() + "/nowhere"; };
    list.RestoreDictionaryList(false);
    auto texts = prompter.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_NE(texts[0].find("Budou automaticky prohledány následující složky (včetně podsložek): \n\n\r" + home.path() +
                            "/nowhere\n\n\rPokračovat?"),
              std::string::npos);
    EXPECT_EQ(texts[1], "Složka " + home.path() + "/nowhere neexistuje!");
    EXPECT_EQ(texts[2].rfind("Nebyla nalezena žádná slovníková databáze!", 0), 0u);
    EXPECT_EQ(prompter.prompts[1].caption, kRestoreCaption);
    EXPECT_TRUE(list.items().empty());
    EXPECT_TRUE(profileStore().readSections().empty());  // "Default" erased too
}

TEST(Profiles, RestoreWithUnreadableFilesReportsEachThenTheSummary)
{
    test::IsolatedHome home;
    test::TempDir dir;
    test::writeFile(dir / "a.di8", "not a database");
    test::writeFile(dir / "sub/b.di8", std::string(3000, 'q'));
    test::ScriptedPrompter prompter;
    DictionaryList list(prompter);
    list.databaseFolder = [&] { return dir.path(); };
    list.RestoreDictionaryList(true);  // silent: no question
    auto texts = prompter.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].rfind("Nastaly potíže s otevřením databáze: " + dir.path() + "/sub/b.di8", 0), 0u);
    EXPECT_EQ(texts[1].rfind("Nastaly potíže s otevřením databáze: " + dir.path() + "/a.di8", 0), 0u);
    EXPECT_EQ(texts[2].rfind("Nebylo možné otevřít slovníkové databáze!", 0), 0u);
}

TEST(Profiles, AddIgnoresNamesNotEndingInLowerCaseDi8)
{
    test::IsolatedHome home;
    test::TempDir dir;
    test::writeFile(dir / "X.DI8", "junk");
    test::writeFile(dir / "y.txt", "junk");
    test::ScriptedPrompter prompter;
    DictionaryList list(prompter);
    list.AddProfiles({dir / "X.DI8", dir / "y.txt"});
    EXPECT_TRUE(prompter.prompts.empty());
    list.AddProfiles({dir / "missing.di8"});
    EXPECT_EQ(prompter.prompts.size(), 1u);  // a .di8 is read, and its failure shown
}

TEST(Profiles, PropertiesListingHeadingsByFirstLanguage)
{
    auto headings = [](int lang1) {
        TDatabaseProperties p;
        p.Version = "8.0";
        p.Lang1ID = lang1;
        p.Date = 39531.4375;
        std::string t = PropertiesText("/d/x.di8", p), out;
        size_t pos = 0;
        while (pos < t.size()) {
            size_t end = t.find("\r\n", pos);
            std::string line = t.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            if (line.rfind("    \t", 0) == 0) out += "f";
            else if (line == "basic" || line == "standard" || line == "technology" || line == "business" ||
                     line == "professional")
                out += "[" + line + "]";
            if (end == std::string::npos) break;
            pos = end + 2;
        }
        return out;
    };
    EXPECT_EQ(headings(1), "f[basic]f[standard]ff[technology]ffff[professional]ffffffff");
    EXPECT_EQ(headings(3), "f[basic]f[standard]ff[business]fffff[professional]fffffff");
    EXPECT_EQ(headings(4), "f[basic]f[standard]ff[professional]ffffffffffff");
    TDatabaseProperties p;
    p.Version = "8.0";
    p.Lang1ID = 1;
    p.Date = 39531.4375;
    std::string t = PropertiesText("/d/x.di8", p);
    EXPECT_EQ(t.rfind("Soubor: /d/x.di8\r\nVerze: 8.0\r\nDatum: 24.3.2008\r\nKombinace: Anglicko-český\r\nObory:\r\n", 0), 0u);
    EXPECT_EQ(t.substr(t.size() - 2), "\r\n");  // the closing empty line
}

TEST(Profiles, RegisterAdmitsOnlyVersion80AndStoresTheProfile)
{
    test::IsolatedHome home;
    test::TempDir dir;
    auto de = test::makeDi8(dir / "de.di8", {"Name=Německo-český", "LangCombination=1", "Lang1ID=2"});
    auto ru = test::makeDi8(dir / "ru.di8", {"Name=Rusko-český", "LangCombination=3"});
    auto v81 = test::makeDi8(dir / "v81.di8", {"Version=8.1"});
    auto v8 = test::makeDi8(dir / "v8.di8", {"Version:double=8"});
    test::ScriptedPrompter prompter;
    DictionaryList list(prompter);
    int busy = 0, changes = 0;
    list.onBusy = [&](bool on) { busy += on ? 1 : -1; };
    list.onChanged = [&] { ++changes; };
    EXPECT_TRUE(list.RegisterDatabase(de));
    EXPECT_TRUE(list.RegisterDatabase(ru));
    EXPECT_FALSE(list.RegisterDatabase(v81));
    EXPECT_FALSE(list.RegisterDatabase(v8));
    EXPECT_TRUE(prompter.prompts.empty());
    EXPECT_EQ(busy, 0);
    EXPECT_EQ(changes, 2);
    ASSERT_EQ(list.items().size(), 2u);
    EXPECT_EQ(list.items()[0].caption, "Německo-český");
    EXPECT_EQ(list.items()[0].image, 1);
    EXPECT_EQ(list.items()[0].path, de);

    RegIniFile store = profileStore();
    EXPECT_EQ(store.readSections(), (std::vector<std::string>{ProfileKey(de), ProfileKey(ru)}));
    EXPECT_EQ(store.readString(ProfileKey(de), "DataSource", ""), de);
    EXPECT_EQ(store.readString(ProfileKey(de), "LangCombination", ""), "1");
    EXPECT_EQ(store.readString(ProfileKey(de), "OriginalDatabaseName", ""), "Německo-český");
    EXPECT_EQ(store.readString(ProfileKey(de), "ShowArticles", ""), "1");
    EXPECT_FALSE(store.valueExists(ProfileKey(ru), "ShowArticles"));
    EXPECT_FALSE(store.valueExists(ProfileKey(de), "NewName"));
}

TEST(Profiles, RegisteringTheSameDatabaseAgainIsRefusedWhateverTheCase)
{
    test::IsolatedHome home;
    test::TempDir dir;
    auto db = test::makeDi8(dir / "ac.di8");
    test::ScriptedPrompter prompter;
    DictionaryList list(prompter);
    ASSERT_TRUE(list.RegisterDatabase(db));
    // The store compares keys without regard to case: another spelling of the path is the same.
    test::makeDi8(dir / "AC.di8", {"Name=Jiný"});
    for (const std::string& again : {db, dir / "AC.di8"}) {
        prompter.prompts.clear();
        EXPECT_FALSE(list.RegisterDatabase(again));
        ASSERT_EQ(prompter.prompts.size(), 1u) << again;
        EXPECT_EQ(prompter.prompts[0].caption, "Přidat");
        EXPECT_EQ(prompter.prompts[0].text, "Tato databáze již je zaevidována!");
        EXPECT_EQ(prompter.prompts[0].icon, Icon::Error);
    }
    EXPECT_EQ(list.items().size(), 1u);
    EXPECT_EQ(profileStore().readSections().size(), 1u);
    EXPECT_EQ(profileStore().readString(ProfileKey(db), "OriginalDatabaseName", ""), "Anglicko-český");
}

TEST(Profiles, AddProfileOpensTheDialogInTheProgramFolderAndTakesOnlyLowerCaseDi8)
{
    test::IsolatedHome home;
    test::TempDir dir;
    auto a = test::makeDi8(dir / "a.di8", {"Name=A"});
    auto b = test::makeDi8(dir / "b.di8", {"Name=B"});
    test::makeDi8(dir / "C.DI8", {"Name=C"});
    test::ScriptedPrompter prompter;
    prompter.files = {{b, dir / "C.DI8", a, dir / "readme.txt"}};
    int pumped = 0;
    DictionaryList list(prompter, [&] { ++pumped; });
    list.AddProfileExecute("/opt/zeph");
    ASSERT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(prompter.prompts[0].kind, "openFiles");
    EXPECT_NE(prompter.prompts[0].text.find("/opt/zeph"), std::string::npos) << prompter.prompts[0].text;
    ASSERT_EQ(list.items().size(), 2u);
    EXPECT_EQ(list.items()[0].caption, "B");  // the dialog's order
    EXPECT_EQ(list.items()[1].caption, "A");
    EXPECT_EQ(pumped, 4);  // before each chosen file

    prompter.prompts.clear();
    list.AddProfileExecute("/opt/zeph");  // cancelled: nothing chosen
    EXPECT_EQ(list.items().size(), 2u);
}

TEST(Profiles, RestoreListsSubfoldersFirstReportsUnreadableFilesAndMovesIntoTheFolder)
{
    test::IsolatedHome home;
    test::TempDir dir;
    storeProfile("/old/x.di8", {{"DataSource", "/old/x.di8"}});
    test::makeDi8(dir / "root.di8", {"Name=Kořen", "LangCombination=5"});
    test::makeDi8(dir / "sub/deeper/deep.di8", {"Name=Hluboko"});
    test::makeDi8(dir / "sub/old.di8", {"Name=Stará", "Version=7.0"});
    test::writeFile(dir / "sub/broken.di8", "<html>not found</html>");
    test::makeDi8(dir / "sub/norow.di8", {"--no-rows"});
    test::ScriptedPrompter prompter;
    prompter.answers = {Answer::Yes};
    DictionaryList list(prompter);
    list.databaseFolder = [&] { return dir.path(); };
    char before[4096];
    ASSERT_TRUE(getcwd(before, sizeof before));
    list.RestoreDictionaryList(false);
    char after[4096];
    ASSERT_TRUE(getcwd(after, sizeof after));
    EXPECT_EQ(std::string(after), dir.path());
    ASSERT_EQ(chdir(before), 0);

    auto texts = prompter.texts();
    ASSERT_EQ(texts.size(), 2u);  // the question, then one open failure; no summary
    EXPECT_EQ(prompter.prompts[0].caption, "Obnovení seznamu nainstalovaných slovníkových databází");
    EXPECT_EQ(texts[0],
              "Původní seznam slovníků bude vymazán a nastaveny základní hodnoty všech parametrů!\n\rBudou automaticky "
              "prohledány následující složky (včetně podsložek): \n\n\r" +
                  dir.path() + "\n\n\rPokračovat?");
    EXPECT_EQ(texts[1].rfind("Nastaly potíže s otevřením databáze: " + dir.path() + "/sub/broken.di8\n\r (", 0), 0u);
    std::vector<std::string> captions;
    for (auto& item : list.items()) captions.push_back(item.caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"Hluboko", "Kořen"}));
    auto stored = LoadProfiles();
    ASSERT_EQ(stored.size(), 2u);  // the old profile is gone; subkeys come sorted by name
    EXPECT_EQ(stored[0].DataSource, dir / "root.di8");
    EXPECT_EQ(stored[0].LangCombination, 5);

    prompter.prompts.clear();
    prompter.answers = {Answer::No};
    list.RestoreDictionaryList(false);
    EXPECT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(list.items().size(), 2u);  // declined: nothing touched
}

TEST(Profiles, PropertiesOfARealDatabase)
{
    test::IsolatedHome home;
    test::TempDir dir;
    auto db = test::makeDi8(dir / "es.di8",
                            {"Name=Rusko-český", "Lang1ID=4", "Lang2ID=0", "Date=2008-03-24T10:30:00", "Version=8.0"});
    test::ScriptedPrompter prompter;
    DictionaryList list(prompter);
    ASSERT_TRUE(list.RegisterDatabase(db));
    list.ShowProperties(0);
    ASSERT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(prompter.prompts[0].caption, "Vlastnosti databáze");
    EXPECT_EQ(prompter.prompts[0].icon, Icon::Information);
    EXPECT_EQ(prompter.prompts[0].text,
              "Soubor: " + db + "\r\nVerze: 8.0\r\nDatum: 24.3.2008\r\nKombinace: Rusko-český\r\nObory:\r\n"
              "    \tUživatelský\r\nbasic\r\n    \tVšeobecný - základní\r\nstandard\r\n    \tVšeobecný - rozšířený\r\n"
              "    \tVšeobecný - konverzace\r\nprofessional\r\n    \tTechnický - obecně\r\n"
              "    \tTechnický - strojírenské obory\r\n    \tTechnický - stavební obory, architektura, atd...\r\n"
              "    \tTechnický - elektrotechnika, počítače, internet, atd...\r\n    \tObchodně-právnický\r\n"
              "    \tChemicko-lékařský\r\n    \tPřírodovědný\r\n    \tHumanitní podobory\r\n"
              "    \tSpeciální podobory\r\n    \tVojenský\r\n    \tAmerická angličtina\r\n"
              "    \tObchodní korespondence\r\n");

    // The file went away: the read's own message, and no properties.
    ASSERT_EQ(unlink(db.c_str()), 0);
    prompter.prompts.clear();
    list.ShowProperties(0);
    ASSERT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(prompter.prompts[0].caption, "Otevřít");
}
