// make-di8 writes what mdbtools' own command-line tools read back.
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph;

namespace {

test::RunResult makeDi8(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {test::binDir() + "/make-di8"};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::run(argv);
}

std::string exportTable(const std::string& path, const std::string& table = "Properties")
{
    auto r = test::run({"mdb-export", "-T", "%Y-%m-%d %H:%M:%S", path, table});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

}  // namespace

TEST(MakeDi8, MdbToolsReadBackEveryValueWritten)
{
    test::TempDir dir;
    std::string db = dir / "x.di8";
    auto made = makeDi8({db, "Version=8.0", "Name=BAS Anglicko-český", "Lang1ID=1", "Lang2ID=0", "LangCombination=0",
                         "LangShift=0", "AvailableDicts=0,1,2", "Date=2008-03-24T10:30:00", "UpdateVer=3"});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    EXPECT_EQ(test::run({"mdb-ver", db}).out, "JET4\n");
    EXPECT_EQ(test::run({"mdb-tables", "-1", db}).out, "Properties\n");
    EXPECT_EQ(exportTable(db),
              "Version,LangCombination,Lang1ID,Lang2ID,LangShift,AvailableDicts,Date,Name,UpdateVer\n"
              "\"8.0\",0,1,0,0,\"0,1,2\",\"2008-03-24 10:30:00\",\"BAS Anglicko-český\",3\n");
    auto schema = test::run({"mdb-schema", db});
    ASSERT_EQ(schema.exitCode, 0) << schema.err;
    for (const char* line : {"[Version]\t\t\tText (255)", "[LangCombination]\t\t\tLong Integer", "[Date]\t\t\tDateTime",
                             "[Name]\t\t\tText (255)", "[UpdateVer]\t\t\tLong Integer"})
        EXPECT_NE(schema.out.find(line), std::string::npos) << line << "\n" << schema.out;
}

TEST(MakeDi8, OmittedNullTypedExtraColumnsNoRowsAndOtherTable)
{
    test::TempDir dir;
    struct Case {
        std::vector<std::string> args;
        std::string exported;  // of the table Properties
    };
    const Case cases[] = {
        {{"--omit", "UpdateVer", "--omit", "LangShift", "Name=Ž"},
         "Version,LangCombination,Lang1ID,Lang2ID,AvailableDicts,Date,Name\n"
         "\"8.0\",0,1,0,\"0,1,2\",\"2008-01-01 00:00:00\",\"Ž\"\n"},
        {{"--null", "Name", "--null", "Lang1ID", "--null", "Date", "AvailableDicts="},
         "Version,LangCombination,Lang1ID,Lang2ID,LangShift,AvailableDicts,Date,Name,UpdateVer\n"
         "\"8.0\",0,,0,0,,,,0\n"},  // the export prints an empty text as it prints NULL
        {{"LangCombination:text=abc", "Version:double=8.5", "Extra=x", "Lang2ID=-7"},
         "Version,LangCombination,Lang1ID,Lang2ID,LangShift,AvailableDicts,Date,Name,UpdateVer,Extra\n"
         "8.5,\"abc\",1,-7,0,\"0,1,2\",\"2008-01-01 00:00:00\",\"Anglicko-český\",0,\"x\"\n"},
        {{"--no-rows"}, "Version,LangCombination,Lang1ID,Lang2ID,LangShift,AvailableDicts,Date,Name,UpdateVer\n"},
    };
    int n = 0;
    for (auto& c : cases) {
        std::string db = dir / ("case" + std::to_string(n++) + ".di8");
        std::vector<std::string> args = {db};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto made = makeDi8(args);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        std::string out = exportTable(db);
        // Floating-point columns are printed with the tools' own precision.
        if (auto p = out.find("8.5000000000"); p != std::string::npos) out.replace(p, out.find(',', p) - p, "8.5");
        EXPECT_EQ(out, c.exported) << db;
    }

    std::string other = dir / "other.di8";
    ASSERT_EQ(makeDi8({other, "--table", "Vlastnosti"}).exitCode, 0);
    EXPECT_EQ(test::run({"mdb-tables", "-1", other}).out, "Vlastnosti\n");
}

TEST(MakeDi8, RefusesWhatJetCannotHold)
{
    test::TempDir dir;
    for (std::vector<std::string> bad : {std::vector<std::string>{"Lang1ID=x"}, {"Lang1ID=4294967296"},
                                         {"Date=2008-02-30T00:00:00"}, {"Date=24.3.2008"}, {"Name=" + std::string(256, 'a')},
                                         {"--omit", "Nothing"}, {"Version:blob=1"}}) {
        std::vector<std::string> args = {dir / "bad.di8"};
        args.insert(args.end(), bad.begin(), bad.end());
        auto r = makeDi8(args);
        EXPECT_NE(r.exitCode, 0) << bad[0];
        EXPECT_FALSE(r.err.empty());
    }
}
