#include "catalogue/profiles.h"
#include "platform/registry.h"
#include "support/scripted_prompter.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

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
