// The update catalogue's reading rules and the download job file.
#include "dbupdate/updatecatalogue.h"
#include "platform/files.h"
#include "platform/ini.h"

#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph;
using namespace zeph::dbu;
using zeph::test::TempDir;

namespace {

DateArray read(const std::string& text)
{
    DateArray t;
    ResetDateArray(t);
    ReadUpdateDates(text, t);
    return t;
}

TEST(ReadUpdateDates, FillsCellsByRowAndColumnLetters)
{
    DateArray t = read("[UDates]\r\nAB=39000\r\nABF=anglbas08\r\nABS=12345\r\n"
                       "SP=40000\r\nSPF=spanpro\r\nSPS=777\r\nNT=1\r\n");
    EXPECT_EQ(t[0][0].Date, 39000);
    EXPECT_EQ(t[0][0].FileName, "anglbas08");
    EXPECT_EQ(t[0][0].Size, 12345);
    EXPECT_EQ(t[4][3].Date, 40000);
    EXPECT_EQ(t[4][3].FileName, "spanpro");
    EXPECT_EQ(t[4][3].Size, 777);
    EXPECT_EQ(t[1][2].Date, 1);
    EXPECT_EQ(t[1][2].FileName, "");  // a missing name key reads empty
    EXPECT_EQ(t[1][2].Size, 0);
    EXPECT_EQ(t[2][1].Date, 0);
}

TEST(ReadUpdateDates, TextFormsLineEndsAndSections)
{
    struct Case {
        const char* what;
        std::string text;
        double date;
        std::string name;
    };
    const Case cases[] = {
        {"LF", "[UDates]\nAS=5\nASF=x\n", 5, "x"},
        {"CR only", "[UDates]\rAS=5\rASF=x\r", 5, "x"},
        {"blanks and case", "  [ udates ]  \r\n  as = 5 \r\n asf =  x y  \r\n", 5, "x y"},
        {"comment and other sections", "AS=9\n[Other]\nAS=7\n[UDates]\n;AS=8\nAS=5\nASF=x\n", 5, "x"},
        {"first value of a key", "[UDates]\nAS=5\nAS=6\nASF=x\n", 5, "x"},
        {"only the first UDates section", "[UDates]\nAS=5\nASF=x\n[UDATES]\nAS=6\nASF=y\n", 5, "x"},
        {"code page 1250 name", "[UDates]\nAS=5\nASF=\x8a\xe9\x9a\n", 5, "Šéš"},
        {"UTF-8 name", "[UDates]\nAS=5\nASF=Šéš\n", 5, "Šéš"},
        {"no UDates section", "[Dates]\nAS=5\nASF=x\n", 0, ""},
        {"empty text", "", 0, ""},
    };
    for (const Case& c : cases) {
        DateArray t = read(c.text);
        EXPECT_EQ(t[0][1].Date, c.date) << c.what;
        EXPECT_EQ(t[0][1].FileName, c.name) << c.what;
    }
}

TEST(ReadUpdateDates, NumbersAreSigned32BitDecimalOrHex)
{
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"12345", 12345},         {"-17", -17},          {"+8", 8},
        {"0x10", 16},             {"$1F", 31},           {"$FFFFFFFF", -1},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"3000000000", 0},        // cannot be stated in 32 bits
        {"", 0},                  {"12a", 0},            {"0x", 0},
        {"1.5", 0},               {"$1FFFFFFFF", 0},     {" 42 ", 42},
    };
    for (const Case& c : cases) EXPECT_EQ(CatalogueNumber(c.text), c.value) << c.text;
    DateArray t = read(std::string("[UDates]\nRBS=3000000000\nRSS=-5\nRT=$9858\n"));
    EXPECT_EQ(t[3][0].Size, 0);
    EXPECT_EQ(t[3][1].Size, -5);
    EXPECT_EQ(t[3][2].Date, 0x9858);
}

TEST(EditionColumn, FirstThreeCharactersExactly)
{
    EXPECT_EQ(EditionColumn("BAS Anglicko-český"), 0);
    EXPECT_EQ(EditionColumn("STANDARD"), 1);
    EXPECT_EQ(EditionColumn("PRO Německo-český"), 3);
    EXPECT_EQ(EditionColumn("pro něco"), 2);  // letter case counts
    EXPECT_EQ(EditionColumn("Technický"), 2);
    EXPECT_EQ(EditionColumn("PR"), 2);        // short names fall into T
    EXPECT_EQ(EditionColumn("B"), 2);
    EXPECT_EQ(EditionColumn(""), -1);
}

TEST(WriteDownloadJob, SectionsPerEntryInOrderAndReplacedNotExtended)
{
    TempDir dir{"dbu-job"};
    std::string job = dir / "upddb.inf";
    PendingList pending = {{"ANGLBAS08", 1000}, {"ANGLBAS08", 1000}, {"BIG", 3000000000ll}, {"NEG", -5}};
    WriteDownloadJob(pending, dir / "upd", job);
    ini::Document d = ini::Document::load(job);
    EXPECT_EQ(d.sections(), (std::vector<std::string>{"Up_0", "Up_1", "Up_2", "Up_3"}));
    EXPECT_EQ(d.keys("Up_0"), (std::vector<std::string>{"Capt", "Dest", "Size"}));
    EXPECT_EQ(d.get("Up_1", "Capt", ""), "ANGLBAS08");  // duplicates are kept
    EXPECT_EQ(d.get("Up_0", "Dest", ""), dir / "upd/");
    EXPECT_EQ(d.get("Up_2", "Size", ""), "-1294967296");  // low 32 bits, signed
    EXPECT_EQ(d.get("Up_3", "Size", ""), "-5");

    WriteDownloadJob({{"ONE", 1}}, dir / "upd/", job);
    d = ini::Document::load(job);
    EXPECT_EQ(d.sections(), (std::vector<std::string>{"Up_0"}));
    EXPECT_EQ(d.get("Up_0", "Capt", ""), "ONE");

    WriteDownloadJob({}, dir / "upd/", job);  // nothing pending: the file is left alone
    EXPECT_TRUE(fs::exists(job));
}

}  // namespace
