#include "netupdate/cabinet.h"
#include "netupdate/lz_expand.h"
#include "platform/files.h"
#include "support/server_process.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace zeph;
using namespace zeph::nu;

namespace {

using zeph::test::supportScript;

std::string shellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A cabinet of the given files, stored under their paths relative to root.
void makeCabinet(const std::string& root, const std::vector<std::string>& relative, const std::string& cab)
{
    std::string cmd = "cd " + shellQuote(root) + " && gcab -c -z " + shellQuote(cab);
    for (auto& r : relative) cmd += " " + shellQuote(r);
    auto r = test::run({"sh", "-c", cmd});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

// Replaces a stored name in place; the cabinet keeps no checksum over its names.
void patchName(const std::string& cab, const std::string& from, const std::string& to)
{
    ASSERT_EQ(from.size(), to.size());
    std::string bytes = test::readFile(cab);
    auto at = bytes.find(from + '\0');
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, from.size(), to);
    test::writeFile(cab, bytes);
}

void setTime(const std::string& path, const char* when)
{
    auto r = test::run({"touch", "-d", when, path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

std::time_t localTime(int y, int mo, int d, int h, int mi, int s)
{
    std::tm tm{};
    tm.tm_year = y - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d, tm.tm_hour = h, tm.tm_min = mi, tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// Everything below a folder, as relative paths.
std::vector<std::string> tree(const std::string& root)
{
    std::vector<std::string> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(root))
        out.push_back(std::filesystem::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

class CurrentDir {
public:
    explicit CurrentDir(const std::string& dir) : old_(std::filesystem::current_path()) { std::filesystem::current_path(dir); }
    ~CurrentDir() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

}  // namespace

TEST(Cabinet, ExtractsFoldersTimesAndReplacesExistingFiles)
{
    test::TempDir src, out;
    std::filesystem::create_directories(src / "doc");
    test::writeFile(src / "doc/a.txt", "in a folder\n");
    test::writeFile(src / "b.txt", std::string(100000, 'b') + "end");
    setTime(src / "doc/a.txt", "2005-06-07 08:09:10");
    setTime(src / "b.txt", "1999-12-31 23:59:58");
    makeCabinet(src.path(), {"doc/a.txt", "b.txt"}, out / "up.cab");

    test::writeFile(out / "target/b.txt", "old and longer than nothing");  // replaced
    ASSERT_EQ(ExtractCabinet(out / "up.cab", out / "target/"), 0);

    EXPECT_EQ(test::readFile(out / "target/doc/a.txt"), "in a folder\n");
    EXPECT_EQ(test::readFile(out / "target/b.txt"), std::string(100000, 'b') + "end");
    EXPECT_EQ(fs::modificationTime(out / "target/doc/a.txt"), localTime(2005, 6, 7, 8, 9, 10));
    EXPECT_EQ(fs::modificationTime(out / "target/b.txt"), localTime(1999, 12, 31, 23, 59, 58));
    // Only the files themselves: no temporary leftovers.
    EXPECT_EQ(tree(out / "target"), (std::vector<std::string>{"b.txt", "doc", "doc/a.txt"}));
}

TEST(Cabinet, TargetGivenWithBackslashOrEmptyMeansThatFolderOrTheCurrentOne)
{
    test::TempDir src, out;
    std::filesystem::create_directories(src / "doc");
    test::writeFile(src / "doc/a.txt", "A");
    makeCabinet(src.path(), {"doc/a.txt"}, out / "x.cab");

    ASSERT_EQ(ExtractCabinet(out / "x.cab", out.path() + "\\deep\\er\\"), 0);
    EXPECT_EQ(test::readFile(out / "deep/er/doc/a.txt"), "A");

    std::filesystem::create_directories(out / "cwd");
    {
        CurrentDir here(out / "cwd");
        ASSERT_EQ(ExtractCabinet("../x.cab", ""), 0);
    }
    EXPECT_EQ(test::readFile(out / "cwd/doc/a.txt"), "A");
}

TEST(Cabinet, BadInputGivesMinusOneAndCreatesNothing)
{
    test::TempDir dir;
    test::writeFile(dir / "text.cab", "this is plain text, not a cabinet\n");
    test::writeFile(dir / "empty.cab", "");
    test::writeFile(dir / "lookalike.cab", std::string("MSCF\0\0\0\0", 8) + std::string(200, '\x7f'));
    for (const char* name : {"text.cab", "empty.cab", "lookalike.cab", "missing.cab"}) {
        EXPECT_EQ(ExtractCabinet(dir / name, dir / "out/"), -1) << name;
        EXPECT_FALSE(fs::exists(dir / "out")) << name;
    }
    EXPECT_EQ(ExtractCabinet(dir.path(), dir / "out/"), -1);  // a folder
}

TEST(Cabinet, DamagedDataFails)
{
    test::TempDir src, out;
    std::string data;
    for (int i = 0; i < 20000; ++i) data += std::to_string(i * 7919 % 10007) + ",";
    test::writeFile(src / "data.txt", data);
    makeCabinet(src.path(), {"data.txt"}, out / "d.cab");
    std::string bytes = test::readFile(out / "d.cab");
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] ^= 0x5A;
    test::writeFile(out / "d.cab", bytes);
    EXPECT_EQ(ExtractCabinet(out / "d.cab", out / "t/"), -1);
    // A partly written file must not be left under the stored name.
    EXPECT_FALSE(fs::exists(out / "t/data.txt"));
}

// Hostile stored names: nothing may be written outside the target, and nothing at all is
// extracted from such a cabinet, not even its harmless files.
TEST(Cabinet, HostileNamesAreRefusedAndNothingIsWritten)
{
    test::TempDir src, base;
    const std::string outside = base / "outside";
    const std::string target = base / "in/target/";
    std::filesystem::create_directories(outside);
    std::filesystem::create_directories(base / "in");

    // An absolute name pointing into "outside", made from a stored name of the same length.
    const std::string absolute = outside + "/abs.txt";
    const std::string absStandIn = "d/" + std::string(absolute.size() - 2, 'e');

    struct Case { std::string standIn, hostile; };
    const Case cases[] = {
        {"xx/yy/evil.txt", "..\\..\\evil.txt"},
        {"zz/evil2.txt", "..\\evil2.txt"},
        {"a/bb/cc/evil3.txt", "a\\..\\..\\evil3.txt"},
        {absStandIn, absolute},
        {"z/" + std::string(absolute.size() - 2, 'f'), "\\" + absolute.substr(1)},  // backslash root
        {"Cx/abc.txt", "C:\\abc.txt"},
    };
    int n = 0;
    for (auto& c : cases) {
        std::string standIn = c.standIn;
        std::string storedStandIn = standIn;
        for (auto& ch : storedStandIn) if (ch == '/') ch = '\\';
        std::filesystem::create_directories(std::filesystem::path(src / standIn).parent_path());
        test::writeFile(src / standIn, "evil");
        test::writeFile(src / "good.txt", "good");
        std::string cab = base / ("h" + std::to_string(n++) + ".cab");
        makeCabinet(src.path(), {"good.txt", standIn}, cab);
        patchName(cab, storedStandIn, c.hostile);

        EXPECT_EQ(ExtractCabinet(cab, target), -1) << c.hostile;
        EXPECT_FALSE(fs::exists(target + "good.txt")) << c.hostile;
        EXPECT_TRUE(tree(outside).empty()) << c.hostile;
        EXPECT_TRUE(tree(base / "in").empty()) << c.hostile;
        EXPECT_FALSE(fs::exists("/evil.txt"));
    }
}

TEST(Cabinet, SafeStoredNames)
{
    struct Case { const char* stored; const char* safe; };
    const Case cases[] = {
        {"a.txt", "a.txt"},         {"doc\\a.txt", "doc/a.txt"}, {"a\\.\\b", "a/./b"},
        {"..a\\b..", "..a/b.."},    {"..\\a", ""},              {"a\\..", ""},
        {"\\a", ""},                {"/a", ""},                 {"C:a", ""},
        {"doc\\", ""},              {"", ""},                   {"a/../../b", ""},
    };
    for (auto& c : cases) EXPECT_EQ(SafeStoredName(c.stored), c.safe) << c.stored;
}

namespace {

void szdd(const std::string& in, const std::string& out, const std::vector<std::string>& extra = {})
{
    std::vector<std::string> argv = {"python3", supportScript("nu_szdd.py"), in, out};
    argv.insert(argv.end(), extra.begin(), extra.end());
    auto r = test::run(argv);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

std::string sampleText()
{
    std::string s;
    for (int i = 0; i < 800; ++i) s += "line " + std::to_string(i % 97) + " of the sample text\r\n";
    return s;
}

}  // namespace

TEST(LzExpand, StoredMissingCharacterRestoresTheName)
{
    test::TempDir dir;
    const std::string data = sampleText();
    test::writeFile(dir / "plain", data);
    struct Case { std::string compressed, missing, expanded; std::vector<std::string> extra; };
    const std::vector<Case> cases = {
        {"lib.dl_", "l", "lib.dll", {}},
        {"NUSETUP.EX_", "e", "NUSETUP.EXE", {}},
        {"readme.tx_", "T", "readme.txt", {"--literals"}},
        {"same.name", "", "same.name", {}},  // nothing stored: expanded under its own name
        {"odd_", "/", "odd_", {}},           // a separator is no name character
    };
    for (auto& c : cases) {
        std::vector<std::string> extra = c.extra;
        if (!c.missing.empty()) extra.insert(extra.end(), {"--missing", c.missing});
        szdd(dir / "plain", dir / c.compressed, extra);
        ASSERT_LT(test::readFile(dir / c.compressed).size(), c.extra.empty() ? data.size() / 2 : data.size() * 2);
        ExpandLzFile(dir / c.compressed);
        EXPECT_EQ(test::readFile(dir / c.expanded), data) << c.compressed;
        if (c.expanded != c.compressed) EXPECT_FALSE(fs::exists(dir / c.compressed)) << c.compressed;
        auto expected = std::vector<std::string>{c.expanded, "plain"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(tree(dir.path()), expected) << c.compressed;
        fs::removeFile(dir / c.expanded);
    }
}

TEST(LzExpand, ExpandedFileReplacesAnOldOneAndKeepsThePermissions)
{
    test::TempDir dir;
    test::writeFile(dir / "plain", "#!/bin/sh\necho new\n");
    szdd(dir / "plain", dir / "tool.s_", {"--missing", "h"});
    std::filesystem::permissions(dir / "tool.s_", std::filesystem::perms(0755));
    test::writeFile(dir / "tool.sh", "old");
    ExpandLzFile(dir / "tool.s_");
    EXPECT_EQ(test::readFile(dir / "tool.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(int(std::filesystem::status(dir / "tool.sh").permissions()) & 0777, 0755);
}

TEST(LzExpand, NotLzIsLeftAloneDamagedIsDeleted)
{
    test::TempDir dir;
    test::writeFile(dir / "plain.ex_", "MZ not compressed at all");
    ExpandLzFile(dir / "plain.ex_");
    EXPECT_EQ(test::readFile(dir / "plain.ex_"), "MZ not compressed at all");
    EXPECT_EQ(tree(dir.path()), (std::vector<std::string>{"plain.ex_"}));

    ExpandLzFile(dir / "missing.ex_");
    EXPECT_EQ(tree(dir.path()), (std::vector<std::string>{"plain.ex_"}));

    // A good header with its data cut short: the compressed file goes, no expanded file stays.
    test::writeFile(dir / "src", sampleText());
    szdd(dir / "src", dir / "cut.tx_", {"--missing", "t"});
    std::string bytes = test::readFile(dir / "cut.tx_");
    test::writeFile(dir / "cut.tx_", bytes.substr(0, bytes.size() / 3));
    ExpandLzFile(dir / "cut.tx_");
    EXPECT_FALSE(fs::exists(dir / "cut.tx_"));
    EXPECT_FALSE(fs::exists(dir / "cut.txt"));
    EXPECT_EQ(tree(dir.path()), (std::vector<std::string>{"plain.ex_", "src"}));
}
