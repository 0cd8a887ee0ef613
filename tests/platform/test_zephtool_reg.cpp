#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph::test;

namespace {
RunResult zephtool(std::vector<std::string> args)
{
    args.insert(args.begin(), binDir() + "/zephtool");
    return run(args);
}
}  // namespace

TEST(ZephtoolReg, SetGetExportDelete)
{
    IsolatedHome home;
    const std::string key = "HKCU\\Software\\Varnholt\\Zephlon8\\Control";
    ASSERT_EQ(zephtool({"reg", "set", key, "FormLeft", "10"}).exitCode, 0);
    auto got = zephtool({"reg", "get", "hkcu\\SOFTWARE\\varnholt\\zephlon8\\control", "formleft"});
    EXPECT_EQ(got.exitCode, 0);
    EXPECT_EQ(got.out, "10\n");
    ASSERT_EQ(zephtool({"reg", "set", key, "D", "10", "--type", "dword"}).exitCode, 0);
    ASSERT_EQ(zephtool({"reg", "set", key, "B", "01,02", "--type", "binary"}).exitCode, 0);
    ASSERT_EQ(zephtool({"reg", "set", key, "E", "%A%", "--type", "expand_sz"}).exitCode, 0);
    EXPECT_EQ(zephtool({"reg", "get", key, "D"}).out, "10\n");
    EXPECT_EQ(zephtool({"reg", "get", key, "B"}).out, "01,02\n");
    auto exported = zephtool({"reg", "export", "HKCU\\Software\\Varnholt"});
    EXPECT_EQ(exported.exitCode, 0);
    EXPECT_EQ(exported.out,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\Software\\Varnholt]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Varnholt\\Zephlon8]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Varnholt\\Zephlon8\\Control]\n"
              "\"FormLeft\"=\"10\"\n"
              "\"D\"=dword:0000000a\n"
              "\"B\"=hex:01,02\n"
              "\"E\"=hex(2):25,00,41,00,25,00,00,00\n\n");
    EXPECT_EQ(zephtool({"reg", "delete", key, "FormLeft"}).exitCode, 0);
    EXPECT_EQ(zephtool({"reg", "get", key, "FormLeft"}).exitCode, 1);
    EXPECT_EQ(zephtool({"reg", "delete", "HKCU\\Software\\Varnholt"}).exitCode, 0);
    EXPECT_EQ(zephtool({"reg", "get", key, "D"}).exitCode, 1);
    EXPECT_EQ(zephtool({"reg", "export", key}).exitCode, 1);
}

TEST(ZephtoolReg, UsageAndStorageErrorsExitTwoWithOneLine)
{
    IsolatedHome home;
    struct Case { std::vector<std::string> args; };
    const Case cases[] = {
        {{"reg"}}, {{"reg", "get", "HKCU\\x"}}, {{"reg", "get", "HKXX\\a", "b"}},
        {{"reg", "set", "HKCU\\x", "n", "v", "--type", "qword"}}, {{"reg", "set", "HKCU\\x", "n", "zz", "--type", "dword"}},
        {{"reg", "set", "HKCU\\x", "n", "0x1FFFFFFFF", "--type", "dword"}}, {{"nosuchverb"}},
    };
    for (auto& c : cases) {
        auto r = zephtool(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.back();
    }
    writeFile(home.path() + "/.config/zephlon8/hkcu.db", std::string(2048, 'z'));
    auto r = zephtool({"reg", "get", "HKCU\\Software", "x"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.signaled);
    EXPECT_NE(r.err.find("není platná databáze"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}
