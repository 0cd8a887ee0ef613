#include "catalogue/database.h"
#include "catalogue/properties_row.h"
#include "di8_fixture.h"
#include "support/scripted_prompter.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A named pipe never delivers a byte: the read must give up on its own and leave the next
// read working.
TEST(ReadDatabaseProperties, AFileThatNeverAnswersIsAnOpenFailureAfterTheTimeLimit)
{
    test::TempDir dir;
    std::string pipe = dir / "pipe.di8";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    test::ScriptedPrompter prompter;
    auto stuck = ReadDatabaseProperties(pipe, false, &prompter);
    EXPECT_TRUE(stuck.Name.empty());
    ASSERT_EQ(prompter.texts().size(), 1u);
    EXPECT_EQ(prompter.texts()[0].rfind(kOpenFailure + pipe, 0), 0u) << prompter.texts()[0];

    std::string good = test::makeDi8(dir / "good.di8", {"Name=Po zaseknutí"});
    test::ScriptedPrompter quiet;
    EXPECT_EQ(ReadDatabaseProperties(good, false, &quiet).Name, "Po zaseknutí");
    EXPECT_TRUE(quiet.prompts.empty());
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

TEST(ReadDatabaseProperties, ReadsEveryFieldOfTheFirstRow)
{
    test::TempDir dir;
    std::string db = test::makeDi8(dir / "x.di8", {"Version=8.0", "Name=BAS Anglicko-český", "Lang1ID=1", "Lang2ID=0",
                                                   "LangCombination=4", "LangShift=2", "AvailableDicts=0,1,2,5",
                                                   "Date=2008-03-24T10:30:00", "UpdateVer=3"});
    test::ScriptedPrompter prompter;
    auto p = ReadDatabaseProperties(db, false, &prompter);
    EXPECT_TRUE(prompter.prompts.empty());
    EXPECT_EQ(p.Name, "BAS Anglicko-český");
    EXPECT_EQ(p.Version, "8.0");
    EXPECT_DOUBLE_EQ(p.Date, 39531.4375);  // days since 30 December 1899, 10:30 as the fraction
    EXPECT_EQ(p.Lang1ID, 1);
    EXPECT_EQ(p.Lang2ID, 0);
    EXPECT_EQ(p.LangCombination, 4);
    EXPECT_EQ(p.LangShift, 2);
    EXPECT_EQ(p.AvailableDicts, "0,1,2,5");
    EXPECT_EQ(p.UpdateVer, 3);
}

TEST(ReadDatabaseProperties, MissingNullAndUnconvertibleColumns)
{
    test::TempDir dir;
    const std::string kNoTableLine = "Databáze neobsahuje informační tabulku!\n\r (";
    struct Case {
        std::vector<std::string> args;
        bool message;          // the second message, unless silent
        std::string name;      // the Name read ("" = unreadable)
        std::string version;   // fields read before a failure stay
        int32_t lang1, updateVer;
    };
    const Case cases[] = {
        {{"--omit", "UpdateVer"}, false, "Anglicko-český", "8.0", 1, -1},
        {{"--null", "UpdateVer"}, false, "Anglicko-český", "8.0", 1, -1},
        {{"UpdateVer:text=abc"}, false, "Anglicko-český", "8.0", 1, -1},
        {{"--omit", "LangShift", "Lang1ID=3"}, true, "", "8.0", 3, 0},
        {{"--omit", "AvailableDicts"}, true, "", "8.0", 1, 0},
        {{"--null", "Lang1ID"}, true, "", "8.0", 0, 0},
        {{"--null", "Name"}, true, "", "8.0", 1, 0},
        {{"--null", "Date"}, true, "", "8.0", 1, 0},
        {{"--null", "Version"}, true, "", "", 0, 0},
        {{"LangCombination:text=abc"}, true, "", "8.0", 0, 0},
        {{"Date:text=24.3.2008"}, true, "", "8.0", 1, 0},
        {{"--table", "Vlastnosti"}, true, "", "", 0, 0},
        {{"AvailableDicts=", "Version=8.1"}, false, "Anglicko-český", "8.1", 1, 0},  // empty text is no NULL
        {{"--omit", "Version", "version=8.0"}, false, "Anglicko-český", "8.0", 1, 0},  // names without regard to case
        {{"Name="}, false, "", "8.0", 1, -1},  // an empty name: unreadable, no message
        {{"--no-rows"}, false, "", "", 0, 0},
    };
    int n = 0;
    for (auto& c : cases) {
        std::string db = test::makeDi8(dir / ("c" + std::to_string(n++) + ".di8"), c.args);
        std::string what = db + " " + c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
        test::ScriptedPrompter prompter;
        auto p = ReadDatabaseProperties(db, false, &prompter);
        EXPECT_EQ(p.Name, c.name) << what;
        EXPECT_EQ(p.Version, c.version) << what;
        EXPECT_EQ(p.Lang1ID, c.lang1) << what;
        if (!c.name.empty()) {
            EXPECT_EQ(p.UpdateVer, c.updateVer) << what;
        }
        ASSERT_EQ(prompter.prompts.size(), c.message ? 1u : 0u) << what;
        if (c.message) {
            EXPECT_EQ(prompter.prompts[0].caption, "Otevřít");
            EXPECT_EQ(prompter.prompts[0].icon, Icon::Error);
            EXPECT_EQ(prompter.prompts[0].text.rfind(kNoTableLine, 0), 0u) << prompter.prompts[0].text;
            EXPECT_EQ(prompter.prompts[0].text.back(), ')');
        }
        test::ScriptedPrompter quiet;
        ReadDatabaseProperties(db, true, &quiet);
        EXPECT_TRUE(quiet.prompts.empty()) << what;
    }
}

TEST(ReadDatabaseProperties, MutatedDatabasesFailWithOneMessageAndNeverCrashTheCaller)
{
    test::TempDir dir;
    std::string good = test::readFile(test::makeDi8(dir / "good.di8", {"Name=Německo-český", "UpdateVer=9"}));
    std::mt19937 rng(20080324);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    int read = 0, failed = 0;
    for (int i = 0; i < 120; ++i) {
        std::string bytes = good;
        if (i % 4 == 0) {
            bytes.resize(pick(bytes.size()));
        } else {
            for (size_t k = 0, n = 1 + pick(8); k < n; ++k) bytes[pick(bytes.size())] = char(pick(256));
        }
        std::string path = dir / "m.di8";
        test::writeFile(path, bytes);
        test::ScriptedPrompter prompter;
        auto p = ReadDatabaseProperties(path, false, &prompter);
        ASSERT_LE(prompter.prompts.size(), 1u);
        if (!prompter.prompts.empty()) {
            const std::string& t = prompter.prompts[0].text;
            EXPECT_TRUE(t.rfind(kOpenFailure + path + "\n\r (", 0) == 0 || t.rfind(kNoTable, 0) == 0) << t;
        }
        (p.Name.empty() ? failed : read)++;
    }
    EXPECT_GT(failed, 0);
}

TEST(ReadDatabaseProperties, ChildReplyParserRefusesAnythingButAWholeReply)
{
    PropertiesRow row;
    row.stage = PropertiesRow::Row;
    row.columns = {{"Name", "Anglicko-český"}, {"UpdateVer", std::nullopt}, {"AvailableDicts", ""}};
    std::string reply = EncodeReply(row);
    auto back = DecodeReply(reply);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->columns, row.columns);
    for (size_t cut = 0; cut < reply.size(); ++cut) EXPECT_FALSE(DecodeReply(reply.substr(0, cut))) << cut;
    std::string hugeLength = reply;
    hugeLength[0] = '\xff';
    EXPECT_FALSE(DecodeReply(hugeLength));
    EXPECT_FALSE(DecodeReply(std::string("\1\0\0\0X\0\0\0\0", 9)));
}

namespace {
// Processes whose parent is this test process.
std::vector<pid_t> childProcesses()
{
    std::vector<pid_t> out;
    for (auto& e : std::filesystem::directory_iterator("/proc")) {
        std::string stat = test::readFile(e.path().string() + "/stat");
        auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        int ppid = 0;
        char state = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == getpid() && state != 'Z')
            out.push_back(std::stoi(e.path().filename().string()));
    }
    return out;
}
}  // namespace

TEST(ReadDatabaseProperties, TheReaderProcessHoldsNoFileOfTheCallerAndIsReplacedWhenItDies)
{
    test::TempDir dir;
    std::string db = test::makeDi8(dir / "a.di8", {"Name=Polsko-český"});
    int mine = open((dir / "a.di8").c_str(), O_RDONLY);  // a file of the caller, as a lock file would be
    ASSERT_GE(mine, 0);
    ASSERT_EQ(ReadDatabaseProperties(db, true, nullptr).Name, "Polsko-český");
    auto readers = childProcesses();
    ASSERT_EQ(readers.size(), 1u);
    std::vector<std::string> fds;
    for (auto& e : std::filesystem::directory_iterator("/proc/" + std::to_string(readers[0]) + "/fd"))
        fds.push_back(e.path().filename().string());
    std::sort(fds.begin(), fds.end());
    EXPECT_EQ(fds, (std::vector<std::string>{"0", "1", "2", "3"}));
    close(mine);

    // Killed between two reads: the next read starts a fresh reader and succeeds.
    ASSERT_EQ(kill(readers[0], SIGKILL), 0);
    waitpid(readers[0], nullptr, 0);
    test::ScriptedPrompter prompter;
    EXPECT_EQ(ReadDatabaseProperties(db, false, &prompter).Name, "Polsko-český");
    EXPECT_TRUE(prompter.prompts.empty());
    EXPECT_EQ(childProcesses().size(), 1u);

    // After a failed read the reader is replaced, so no file spoils the reads after it.
    ReadDatabaseProperties(fixture("nwind.mdb"), true, nullptr);
    EXPECT_TRUE(childProcesses().empty());
    EXPECT_EQ(ReadDatabaseProperties(db, true, nullptr).Name, "Polsko-český");
}

TEST(ZephtoolDi8, PrintsTheDescriptorOneFieldALine)
{
    test::TempDir dir;
    std::string db = test::makeDi8(dir / "x.di8", {"Version=8.0", "Name=BAS Anglicko-český", "Lang1ID=1", "Lang2ID=0",
                                                   "LangCombination=0", "LangShift=0", "AvailableDicts=0,1,2",
                                                   "Date=2008-03-24T10:30:00", "UpdateVer=3"});
    auto r = test::run({test::binDir() + "/zephtool", "di8", db});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Name=BAS Anglicko-český\nVersion=8.0\nDate=2008-03-24 10:30:00\nLang1ID=1\nLang2ID=0\n"
                     "LangCombination=0\nLangShift=0\nAvailableDicts=0,1,2\nUpdateVer=3\n");

    std::string empty = test::makeDi8(dir / "empty.di8", {"--no-rows"});
    r = test::run({test::binDir() + "/zephtool", "di8", empty});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Databáze " + empty + " nemá popis: tabulka Properties je prázdná nebo bez názvu.\n");
}
