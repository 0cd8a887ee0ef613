#include "netupdate/control_values.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace zeph;
using namespace zeph::nu;

TEST(ControlValues, Integers)
{
    struct Case { const char* text; int32_t value; };
    const Case cases[] = {
        {"0xFFFFFFFF", -1}, {"0x1A2B", 6699}, {"$10", 16}, {"x1f", 31}, {"X1F", 31}, {"  42", 42}, {"-7", -7},
        {"+7", 7}, {"abc", 99}, {"", 99}, {"12 ", 99}, {"0x123456789", 99}, {"2147483648", 99}, {"-2147483648", INT32_MIN},
        {"0x", 99}, {"0xG1", 99},
    };
    for (auto& c : cases) EXPECT_EQ(ReadControlInteger(c.text, 99), c.value) << c.text;
    EXPECT_TRUE(ReadControlFlag("1"));
    EXPECT_TRUE(ReadControlFlag("0x1"));
    EXPECT_FALSE(ReadControlFlag("2"));
    EXPECT_FALSE(ReadControlFlag("yes"));
    EXPECT_TRUE(ReadControlPresence("0"));
    EXPECT_FALSE(ReadControlPresence(""));
    EXPECT_EQ(UnescapeLineBreaks("Line one\\nLine two\\n"), "Line one\rLine two\r");
}

TEST(ControlValues, Versions)
{
    struct Case { const char* text; const char* shown; };
    const Case cases[] = {
        {"2,1,5,7", "2.1.5.7"}, {"2.1.5.7", "2.1.5.7"}, {"2.1", "2.1.0.0"}, {"2.1.5", "2.1.5.0"},
        {"abc", "65535.65535.65535.65535"}, {"2a.1.5.7", "2.1.0.0"}, {"2.1a.5.7", "2.1.5.0"},
        {"2.1.5a.7", "2.1.5.7"}, {"2.1.5.x", "2.1.65535.65535"}, {"2.1.5.7.9", "2.1.65535.65535"}, {"2", "2.0.0.0"},
        {"70000.1", "4464.1.0.0"}, {"", "65535.65535.65535.65535"},
    };
    for (auto& c : cases) EXPECT_EQ(VersionText(ParseVersion(c.text)), c.shown) << c.text;
    EXPECT_EQ(ParseVersion("2,1,5,7"), ParseVersion("2.1.5.7"));
    EXPECT_EQ(ParseVersion("2.1"), ParseVersion("2.1.0.0"));
}

TEST(ControlValues, Macros)
{
    test::IsolatedHome home;
    char buf[4096];
    std::string cwd = getcwd(buf, sizeof buf);
    struct Case { std::string text, expanded; };
    const Case cases[] = {
        {"{APP}", cwd},
        {"{app}\\program.exe", cwd + "\\program.exe"},
        {"{XYZ}\\a.exe", "{XYZ}\\a.exe"},
        {"{DOC}", home.path() + "/Documents"},
        {"{WIN}\\win.ini", "/etc\\win.ini"},
        {"{SYS}\\sh", "/usr/bin\\sh"},
        {"{TMP}\\NUPD1.tmp", fs::withoutTrailingSlash(folders::temp()) + "\\NUPD1.tmp"},
        {"{APP}{APP}", cwd + cwd},
        {"x{APP{TMP}}y", "x{APP{TMP}}y"},  // the inner brace is text: the name "APP{TMP" is unknown
        {"{PF}\\Zephlon", "{PF}\\Zephlon"},  // the key is missing
        {"no macro", "no macro"},
        {"{unclosed", "{unclosed"},
    };
    for (auto& c : cases) EXPECT_EQ(ExpandPrefixes(c.text), c.expanded) << c.text;
    reg::Key::open(reg::Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", true)->setText("ProgramFilesDir", "/opt/");
    EXPECT_EQ(ExpandPrefixes("{PF}\\Zephlon"), "/opt\\Zephlon");
    // An empty value leaves the current directory, as an empty directory does everywhere.
    reg::Key::open(reg::Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion")->setText("ProgramFilesDir", "");
    EXPECT_EQ(ExpandPrefixes("{PF}\\Zephlon"), ".\\Zephlon");
    // A directory that itself holds a macro is expanded again, within a bound.
    int calls = 0;
    auto loop = [&](const std::string& name) { ++calls; return name == "A" ? std::string("{A}") : std::string(); };
    EXPECT_EQ(ExpandPrefixes("{A}", {}, loop), "{A}");
    EXPECT_LE(calls, 33);
    EXPECT_EQ(ExpandPrefixes("{B}", [](std::string& t) { t = "{APP}"; }), cwd);
    EXPECT_EQ(NormaliseMacroDirectory("/"), "/.");
    EXPECT_EQ(NormaliseMacroDirectory(""), ".");
    EXPECT_EQ(NormaliseMacroDirectory("/usr/"), "/usr");
}

TEST(ControlValues, DatesAndTimes)
{
    struct Case { const char* date; const char* time; const char* format; char sep; dt::DateTime expect; };
    const Case cases[] = {
        {"24/03/2008", "14:30", "dd/mm/yyyy", '/', {2008, 3, 24, 14, 30, 0, 0}},
        {"24/03/2008", "14:30:15", "dd/mm/yyyy", '/', {2008, 3, 24, 14, 30, 15, 0}},
        {"31/02/2008", "14:30", "dd/mm/yyyy", '/', {1980, 1, 1, 0, 0, 0, 0}},
        {"03-24-2008", "", "mm-dd-yyyy", '-', {2008, 3, 24, 0, 0, 0, 0}},
        {"2008.03.24", "bad", "yyyy.mm.dd", '.', {2008, 3, 24, 0, 0, 0, 0}},
        {"", "", "dd/mm/yyyy", '/', {1980, 1, 1, 0, 0, 0, 0}},
    };
    for (auto& c : cases) EXPECT_EQ(ParseControlDateTime(c.date, c.time, c.format, c.sep, "hh:nn", ':'), c.expect) << c.date;
}
