#include "platform/ini.h"
#include "platform/textcodec.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph;
using zeph::test::TempDir;

TEST(IniRead, FollowsTheProfileFileRules)
{
    const std::string file =
        "; comment=ignored\r\n"
        "orphan=before any section\r\n"
        "[Update]\r\n"
        "  Date =  24/03/2008  \r\n"
        "date=second wins never\r\n"
        "quoted=\"  kept blanks  \"\r\n"
        "single='x'\r\n"
        "mixed=\"x'\r\n"
        "lone=\"\r\n"
        "empty=\r\n"
        "eq=a=b\r\n"
        "[update]\r\n"
        "extra=in the second section of the same name\r\n"
        "[ Files ]\n"
        "count=2\r"
        "[Last]\n"
        "k=v";
    auto doc = ini::Document::parse(file);
    struct Case { const char* section; const char* key; const char* expect; };
    const Case cases[] = {
        {"update", "DATE", "24/03/2008"},
        {"Update", "quoted", "  kept blanks  "},
        {"Update", "single", "x"},
        {"Update", "mixed", "\"x'"},
        {"Update", "lone", "\""},
        {"Update", "empty", ""},
        {"Update", "eq", "a=b"},
        {"files", "count", "2"},
        {"Last", "k", "v"},
    };
    for (auto& c : cases) EXPECT_EQ(doc.get(c.section, c.key, "DEF"), c.expect) << c.section << "/" << c.key;
    EXPECT_EQ(doc.get("update", "extra", "DEF"), "DEF");  // only the first section of a name counts
    EXPECT_EQ(doc.get("update", "orphan", "DEF"), "DEF");
    EXPECT_EQ(doc.get("nosuch", "k", "DEF"), "DEF");
    EXPECT_EQ(doc.sections(), (std::vector<std::string>{"Update", "Files", "Last"}));
}

TEST(IniRead, CutsValuesAndReadsCodePage1250)
{
    std::string longValue(3000, 'a');
    auto doc = ini::Document::parse("[s]\nk=" + longValue + "\n");
    EXPECT_EQ(doc.get("s", "k", "").size(), ini::kMaxValueChars);
    // "Čeština" in code page 1250, as a Windows peer writes it.
    auto ansi = ini::Document::parse("[s]\nname=\xC8\x65\x9A\x74ina\n");
    EXPECT_EQ(ansi.get("s", "name", ""), "Čeština");
    auto utf8 = ini::Document::parse("[S]\nname=Čeština\n");
    EXPECT_EQ(utf8.get("s", "NAME", ""), "Čeština");
}

TEST(IniWrite, CreatesReplacesAndKeepsTheRest)
{
    TempDir dir;
    std::string path = dir / "job.inf";
    ASSERT_TRUE(ini::writeString(path, "Up_0", "Capt", "ae"));
    ASSERT_TRUE(ini::writeString(path, "Up_0", "Size", "10"));
    ASSERT_TRUE(ini::writeString(path, "Up_1", "Capt", "ge"));
    ASSERT_TRUE(ini::writeString(path, "up_0", "CAPT", "ae2"));  // replaces in place
    EXPECT_EQ(test::readFile(path), "[Up_0]\r\nCAPT=ae2\r\nSize=10\r\n[Up_1]\r\nCapt=ge\r\n");

    test::writeFile(path, "; keep me\n[A]\nx=1\n\n[B]\ny=2\n");
    ASSERT_TRUE(ini::writeString(path, "A", "z", "3"));
    EXPECT_EQ(test::readFile(path), "; keep me\n[A]\nx=1\nz=3\n\n[B]\ny=2\n");
    ASSERT_TRUE(ini::removeKey(path, "A", "x"));
    ASSERT_TRUE(ini::removeSection(path, "B"));
    EXPECT_EQ(test::readFile(path), "; keep me\n[A]\nz=3\n\n");
    EXPECT_FALSE(ini::writeString(dir / "no/such/folder/x.ini", "A", "k", "v"));
}

TEST(IniWrite, KeepsACodePage1250FileInItsEncoding)
{
    TempDir dir;
    std::string path = dir / "ansi.ini";
    test::writeFile(path, "[s]\nold=\xE8\n");
    ASSERT_TRUE(ini::writeString(path, "s", "new", "ř"));
    EXPECT_EQ(test::readFile(path), "[s]\nold=\xE8\nnew=\xF8\n");
    EXPECT_EQ(ini::readString(path, "s", "new", ""), "ř");
}
