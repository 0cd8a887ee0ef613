#include "netupdate/status.h"
#include "platform/files.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph;
using namespace zeph::nu;

TEST(Status, TextsAndFormatting)
{
    struct Case { int id; const char* param; const char* text; };
    const Case cases[] = {
        {916, "404", "Http status : 404"},
        {956, "Authentication cancelled", "Authentication cancelled"},
        {968, "Threaded update", "Start update : Threaded update ---------------------------"},
        {909, "x.exe", "Download update file : "},
        {18, "Exec: /bin/true", "Exec: /bin/true"},
        {908, "p", ""},
        {972, "p", ""},
        {971, "u[l,nv=1,nd=,ns=0,nc=-1]", "Processing file : u[l,nv=1,nd=,ns=0,nc=-1]"},
    };
    for (auto& c : cases) EXPECT_EQ(FormatStatus(c.id, c.param), c.text) << c.id;
    EXPECT_EQ(StatusFormat(963), "Start NetUpdate process with version : %s");
}

TEST(Status, LogLinesAndTheirFile)
{
    test::IsolatedHome home;
    // The test main pins a Czech locale: "." between date parts, ":" between time parts.
    EXPECT_EQ(LogLine({2009, 1, 5, 14, 3, 59, 0}, 956, "Authentication cancelled", 0, 0),
              "05.01.2009 14:03:59 : [956] Authentication cancelled (Status:0) (Error:0)");
    EXPECT_EQ(LogLine({2009, 1, 5, 14, 3, 59, 0}, 916, FormatStatus(916, "404"), 6, 404).substr(20),
              ": [916] Http status : 404 (Status:6) (Error:404)");
    EXPECT_EQ(LogLine({2009, 1, 5, 0, 0, 0, 0}, 18, "Exec: x", 3, 0).substr(20), ": [18] Exec: x (Status:3) (Error:0)");

    EXPECT_EQ(ResolveLogPath("NUPDATE.LOG"), home.path() + "/Documents/NUPDATE.LOG");
    EXPECT_EQ(ResolveLogPath("C:\\logs\\nu.log"), "C:/logs/nu.log");
    fs::createDirectories(home.path() + "/Documents");
    SetLogFileName("NUPDATE.LOG");
    AppendLogLine("one");
    AppendLogLine("two");
    EXPECT_EQ(test::readFile(home.path() + "/Documents/NUPDATE.LOG"), "one\r\ntwo\r\n");
    SetLogFileName(home.path() + "/logs/missing-folder/nu.log");
    EXPECT_THROW(AppendLogLine("x"), LogError);
    SetLogFileName("NUPDATE.LOG");
}
