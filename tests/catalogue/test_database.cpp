#include "catalogue/database.h"
#include "support/scripted_prompter.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph;
using namespace zeph::cat;

namespace {

std::string fixture(const std::string& name) { return test::sourceDir() + "/tests/catalogue/fixtures/" + name; }

const std::string kOpenFailure = "Nastaly potíže s otevřením databáze: ";
const std::string kNoTable = "Databáze neobsahuje informační tabulku!\n\r (";

}  // namespace

TEST(ReadDatabaseProperties, JetFilesWithoutTheTableGiveTheSecondMessage)
{
    for (const char* name : {"nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"}) {
        test::ScriptedPrompter prompter;
        auto p = ReadDatabaseProperties(fixture(name), false, &prompter);
        EXPECT_TRUE(p.Name.empty()) << name;
        ASSERT_EQ(prompter.prompts.size(), 1u) << name;
        EXPECT_EQ(prompter.prompts[0].caption, "Otevřít");
        EXPECT_EQ(prompter.prompts[0].icon, Icon::Error);
        EXPECT_EQ(prompter.prompts[0].text.rfind(kNoTable, 0), 0u) << prompter.prompts[0].text;

        test::ScriptedPrompter quiet;
        EXPECT_TRUE(ReadDatabaseProperties(fixture(name), true, &quiet).Name.empty());
        EXPECT_TRUE(quiet.prompts.empty());
    }
}

TEST(ReadDatabaseProperties, HostileFilesAreOpenFailuresNeverCrashes)
{
    test::TempDir dir;
    std::string good = test::readFile(fixture("DateTestDatabase.mdb"));
    std::string random(8192, '\0');
    unsigned seed = 12345;
    for (auto& c : random) c = char((seed = seed * 1103515245 + 12345) >> 16);
    // A Jet header followed by garbage pages: the engine gets past its first check.
    std::string jetHeadThenGarbage = good.substr(0, 4096) + random + random;
    struct Case { const char* name; std::string content; };
    const Case cases[] = {
        {"random.di8", random},
        {"page.di8", "<html><body>404 Not Found</body></html>"},
        {"empty.di8", ""},
        {"jethead.di8", jetHeadThenGarbage},
    };
    for (auto& c : cases) {
        std::string path = dir / c.name;
        test::writeFile(path, c.content);
        test::ScriptedPrompter prompter;
        auto p = ReadDatabaseProperties(path, false, &prompter);
        EXPECT_TRUE(p.Name.empty()) << c.name;
        ASSERT_EQ(prompter.prompts.size(), 1u) << c.name;
        EXPECT_TRUE(prompter.prompts[0].text.rfind(kOpenFailure, 0) == 0 || prompter.prompts[0].text.rfind(kNoTable, 0) == 0)
            << c.name << ": " << prompter.prompts[0].text;
    }
    test::ScriptedPrompter prompter;
    ReadDatabaseProperties(dir / "missing.di8", false, &prompter);
    ASSERT_EQ(prompter.texts().size(), 1u);
    EXPECT_EQ(prompter.texts()[0].rfind(kOpenFailure + dir / "missing.di8" + "\n\r (", 0), 0u);
}

TEST(ZephtoolDi8, FailsWithTheMessageOnStderrAndNothingElse)
{
    test::TempDir dir;
    std::string good = test::readFile(fixture("nwind.mdb"));
    test::writeFile(dir / "cut.di8", good.substr(0, good.size() / 3));
    test::writeFile(dir / "random.di8", std::string(5000, '\x5a'));
    for (std::string path : {fixture("nwind.mdb"), fixture("ASampleDatabase.accdb"), dir / "cut.di8", dir / "random.di8"}) {
        auto r = test::run({test::binDir() + "/zephtool", "di8", path});
        EXPECT_EQ(r.exitCode, 1) << path;
        EXPECT_FALSE(r.signaled);
        EXPECT_TRUE(r.out.empty());
        bool known = r.err.rfind(kOpenFailure, 0) == 0 || r.err.rfind("Databáze neobsahuje informační tabulku!", 0) == 0;
        EXPECT_TRUE(known) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;  // the message's two lines only
    }
}

TEST(NameTables, CombinationTexts)
{
    struct Case { int l1, l2; const char* text; };
    const Case cases[] = {{1, 0, "Anglicko-český"}, {0, 3, "Česko-francouzský"}, {4, 0, "Rusko-český"},
                          {7, 0, "-český"}, {9, 0, "-český"}, {-1, 6, "-polský"}};
    for (auto& c : cases) EXPECT_EQ(CombinationText(c.l1, c.l2), c.text) << c.l1 << "," << c.l2;
    EXPECT_EQ(FillNameTables().subjects[7], "Technický - elektrotechnika, počítače, internet, atd...");
    EXPECT_EQ(FillNameTables().subjects[16], "<rezerva>");
}
