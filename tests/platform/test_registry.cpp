#include "platform/regini.h"
#include "platform/registry.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zeph;
using zeph::test::IsolatedHome;

namespace {

std::vector<std::string> names(const std::vector<reg::Value>& vals)
{
    std::vector<std::string> out;
    for (auto& v : vals) out.push_back(v.name);
    return out;
}

}  // namespace

TEST(Registry, NamesCompareWithoutCaseCzechIncluded)
{
    IsolatedHome home;
    auto key = reg::Key::open(reg::Root::CurrentUser, "Software\\Varnholt\\Čeština", true);
    ASSERT_TRUE(key);
    key->setText("Žluťoučký", "kůň");
    auto again = reg::Key::open(reg::Root::CurrentUser, "SOFTWARE\\varnholt\\ČEŠTINA");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->getText("žLUŤOUČKÝ").value_or(""), "kůň");
    // Creating with another case reaches the same key, and keeps the first spelling.
    reg::Key::open(reg::Root::CurrentUser, "software\\VARNHOLT\\čeština", true)->setText("x", "1");
    EXPECT_EQ(reg::Key::open(reg::Root::CurrentUser, "Software\\Varnholt")->subkeys(),
              std::vector<std::string>{"Čeština"});
}

TEST(Registry, SubkeysSortedValuesInCreationOrder)
{
    IsolatedHome home;
    auto key = *reg::Key::open(reg::Root::CurrentUser, "Test", true);
    for (auto n : {"beta", "Alpha", "gamma", "ALPHB"}) key.subkey(n, true);
    EXPECT_EQ(key.subkeys(), (std::vector<std::string>{"Alpha", "ALPHB", "beta", "gamma"}));
    key.setText("zeta", "1");
    key.setText("Alpha", "2");
    key.setDWord("mid", 3);
    key.setText("ZETA", "4");  // replaces in place, keeps its position
    EXPECT_EQ(names(key.values()), (std::vector<std::string>{"ZETA", "Alpha", "mid"}));
    EXPECT_EQ(key.getText("zeta").value_or(""), "4");
}

TEST(Registry, TypedValuesKeepTheirType)
{
    IsolatedHome home;
    auto key = *reg::Key::open(reg::Root::CurrentUser, "Types", true);
    key.set(reg::Value::text("s", "text"));
    key.set(reg::Value::text("e", "%HOME%/x", reg::Type::ExpandSz));
    key.set(reg::Value::dword("d", 0xDEADBEEF));
    key.set(reg::Value::binary("b", {0, 1, 255}));
    EXPECT_EQ(key.get("s")->type, reg::Type::Sz);
    EXPECT_EQ(key.get("e")->type, reg::Type::ExpandSz);
    EXPECT_EQ(key.get("d")->asDWord(), 0xDEADBEEFu);
    EXPECT_EQ(key.get("b")->data, (std::vector<uint8_t>{0, 1, 255}));
    EXPECT_FALSE(key.getText("d"));  // not text
    EXPECT_FALSE(key.get("missing"));
}

TEST(Registry, OpenWithoutCreateAndDeleteSubtree)
{
    IsolatedHome home;
    EXPECT_FALSE(reg::Key::open(reg::Root::CurrentUser, "A\\B"));
    reg::Key::open(reg::Root::CurrentUser, "A\\B\\C", true)->setText("v", "1");
    reg::Key::open(reg::Root::CurrentUser, "A\\B", true)->setText("w", "2");
    reg::Key::open(reg::Root::CurrentUser, "A\\Keep", true)->setText("k", "3");
    EXPECT_TRUE(reg::Key::remove(reg::Root::CurrentUser, "a\\b"));
    EXPECT_FALSE(reg::Key::exists(reg::Root::CurrentUser, "A\\B\\C"));
    EXPECT_FALSE(reg::Key::exists(reg::Root::CurrentUser, "A\\B"));
    EXPECT_EQ(reg::Key::open(reg::Root::CurrentUser, "A\\Keep")->getText("k").value_or(""), "3");
    EXPECT_FALSE(reg::Key::remove(reg::Root::CurrentUser, "A\\B"));
    // A recreated key starts empty: no values of the deleted one come back.
    EXPECT_TRUE(reg::Key::open(reg::Root::CurrentUser, "A\\B\\C", true)->values().empty());
}

TEST(Registry, HivesFollowHomeAndRootsAreSeparate)
{
    IsolatedHome first;
    reg::Key::open(reg::Root::CurrentUser, "K", true)->setText("v", "first");
    {
        IsolatedHome second;
        EXPECT_FALSE(reg::Key::exists(reg::Root::CurrentUser, "K"));
        EXPECT_FALSE(reg::Key::exists(reg::Root::LocalMachine, "K"));
    }
    EXPECT_EQ(reg::Key::open(reg::Root::CurrentUser, "K")->getText("v").value_or(""), "first");
    EXPECT_EQ(reg::hivePath(reg::Root::CurrentUser), first.path() + "/.config/zephlon8/hkcu.db");
}

TEST(Registry, ParsesRootedPaths)
{
    struct Case { const char* in; bool ok; reg::Root root; const char* rest; };
    const Case cases[] = {
        {"HKCU\\Software\\X", true, reg::Root::CurrentUser, "Software\\X"},
        {"hkey_local_machine\\Software\\", true, reg::Root::LocalMachine, "Software"},
        {"HKLM", true, reg::Root::LocalMachine, ""},
        {"HKCR\\x", false, reg::Root::CurrentUser, ""},
        {"", false, reg::Root::CurrentUser, ""},
    };
    for (auto& c : cases) {
        auto r = reg::parseRootedPath(c.in);
        ASSERT_EQ(bool(r), c.ok) << c.in;
        if (r) {
            EXPECT_EQ(r->first, c.root) << c.in;
            EXPECT_EQ(r->second, c.rest) << c.in;
        }
    }
}

TEST(RegistryFaults, FileThatIsNoDatabaseIsAnErrorAndStaysUntouched)
{
    IsolatedHome home;
    std::string path = reg::hivePath(reg::Root::CurrentUser);
    std::string junk(4096, 'x');
    zeph::test::writeFile(path, junk);
    EXPECT_THROW(reg::Key::open(reg::Root::CurrentUser, "Software"), reg::Error);
    EXPECT_THROW(reg::Key::open(reg::Root::CurrentUser, "Software", true), reg::Error);
    EXPECT_EQ(zeph::test::readFile(path), junk);
}

TEST(RegistryFaults, LockedHiveGivesAnErrorAfterAFewSeconds)
{
    IsolatedHome home;
    reg::Key::open(reg::Root::CurrentUser, "K", true)->setText("v", "1");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(reg::hivePath(reg::Root::CurrentUser).c_str(), &db);
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        ssize_t w = write(ready[1], "x", 1);
        (void)w;
        sleep(30);
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    try {
        reg::Key::open(reg::Root::CurrentUser, "K", true)->setText("v", "2");
        ADD_FAILURE() << "write through a held lock succeeded";
    } catch (const reg::Error& e) {
        EXPECT_NE(std::string(e.what()).find("zamčen"), std::string::npos) << e.what();
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    // The lock is gone with the process; the store is whole.
    EXPECT_EQ(reg::Key::open(reg::Root::CurrentUser, "K")->getText("v").value_or(""), "1");
}

TEST(RegistryFaults, TwoWritingProcessesLoseNoWrite)
{
    IsolatedHome home;
    reg::Key::open(reg::Root::CurrentUser, "Shared", true);
    const int perProcess = 150;
    pid_t kids[2];
    for (int p = 0; p < 2; ++p) {
        kids[p] = fork();
        if (kids[p] == 0) {
            try {
                auto key = *reg::Key::open(reg::Root::CurrentUser, "Shared");
                for (int i = 0; i < perProcess; ++i) key.setText("p" + std::to_string(p) + "_" + std::to_string(i), "v");
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
    }
    for (pid_t k : kids) {
        int status = 0;
        waitpid(k, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(reg::Key::open(reg::Root::CurrentUser, "Shared")->values().size(), size_t(2 * perProcess));
}

TEST(RegistryFaults, KilledWriterLeavesAWholeHiveWithEveryReturnedWrite)
{
    IsolatedHome home;
    reg::Key::open(reg::Root::CurrentUser, "Stream", true);
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        auto key = *reg::Key::open(reg::Root::CurrentUser, "Stream");
        for (int i = 0;; ++i) {
            key.setText("v" + std::to_string(i), std::string(200, 'a' + i % 26));
            ssize_t w = write(report[1], &i, sizeof i);  // told only after the write returned
            (void)w;
        }
    }
    close(report[1]);
    int last = -1, i;
    while (last < 300 && read(report[0], &i, sizeof i) == sizeof i) last = i;
    kill(child, SIGKILL);
    while (read(report[0], &i, sizeof i) == sizeof i) last = i;
    waitpid(child, nullptr, 0);
    close(report[0]);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(reg::hivePath(reg::Root::CurrentUser).c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ((const char*)sqlite3_column_text(st, 0), "ok");
    sqlite3_finalize(st);
    sqlite3_close(db);

    auto key = *reg::Key::open(reg::Root::CurrentUser, "Stream");
    for (int k = 0; k <= last; ++k) ASSERT_TRUE(key.hasValue("v" + std::to_string(k))) << k;
}

TEST(RegIniFile, ReadsDefaultsForMissingUnparsableAndForeignValues)
{
    IsolatedHome home;
    RegIniFile ini("Software\\Varnholt\\Zephlon8");
    EXPECT_EQ(ini.readInteger("Nothing", "X", 7), 7);  // a missing subkey reads as defaults
    EXPECT_FALSE(ini.sectionExists("Nothing"));
    auto key = *reg::Key::open(reg::Root::CurrentUser, "Software\\Varnholt\\Zephlon8\\S", true);
    struct Case { const char* stored; int32_t asInt; bool asBool; };
    const Case cases[] = {
        {"12", 12, true}, {" -5", -5, true}, {"0", 0, false}, {"2", 2, true},
        {"abc", 99, true}, {"12abc", 99, true}, {"", 99, true}, {"99999999999", 99, true},
    };
    for (auto& c : cases) {
        key.setText("v", c.stored);
        EXPECT_EQ(ini.readInteger("S", "v", 99), c.asInt) << c.stored;
        EXPECT_EQ(ini.readBool("S", "v", true), c.asBool) << c.stored;
    }
    key.setDWord("dw", 5);  // another type reads as the default
    EXPECT_EQ(ini.readInteger("S", "dw", 1), 1);
    EXPECT_EQ(ini.readString("S", "dw", "def"), "def");
}

TEST(RegIniFile, WritesStringsAndCreatesTheSection)
{
    IsolatedHome home;
    RegIniFile ini("Software\\Varnholt\\Zephlon8\\");
    ini.writeInteger("New", "I", -3);
    ini.writeBool("New", "B", true);
    ini.writeString("New", "S", "ěščř");
    auto key = *reg::Key::open(reg::Root::CurrentUser, "Software\\Varnholt\\Zephlon8\\New");
    EXPECT_EQ(key.get("I")->type, reg::Type::Sz);
    EXPECT_EQ(key.getText("I").value_or(""), "-3");
    EXPECT_EQ(key.getText("B").value_or(""), "1");
    EXPECT_EQ(ini.readString("new", "s", ""), "ěščř");
    EXPECT_EQ(ini.readSection("New"), (std::vector<std::string>{"I", "B", "S"}));
    ini.eraseSection("New");
    EXPECT_FALSE(ini.sectionExists("New"));
}
