#include "netupdate/file_version.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph;
using namespace zeph::nu;

namespace {

void put32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
}

// A minimal PE image whose version resource holds the fixed record at an aligned place.
std::string peWithVersion(uint32_t ms, uint32_t ls, size_t at = 0x400)
{
    std::string s(0x800, '\0');
    s[0] = 'M';
    s[1] = 'Z';
    put32(s, 0x3C, 0x80);
    s.replace(0x80, 4, std::string("PE\0\0", 4));
    std::string key = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0";
    s.replace(at - 40, key.size(), key);
    put32(s, at, 0xFEEF04BDu);
    put32(s, at + 4, 0x00010000u);
    put32(s, at + 8, ms);
    put32(s, at + 12, ls);
    return s;
}

}  // namespace

TEST(FileVersion, PeRecordsOurNoteAndEverythingElse)
{
    test::TempDir dir;
    test::writeFile(dir / "app.exe", peWithVersion(0x00020001, 0x00050007));
    EXPECT_EQ(VersionString(GetFileVersion(dir / "app.exe")), "2.1.5.7");
    // The same bytes without the PE signature are no program file.
    std::string notPe = peWithVersion(0x00020001, 0x00050007);
    notPe[0] = 'X';
    test::writeFile(dir / "data.bin", notPe);
    EXPECT_FALSE(GetFileVersion(dir / "data.bin").valid());
    // An unaligned signature is not a record.
    std::string odd = peWithVersion(0x00020001, 0x00050007, 0x402);
    test::writeFile(dir / "odd.exe", odd);
    EXPECT_FALSE(GetFileVersion(dir / "odd.exe").valid());
    test::writeFile(dir / "empty", "");
    EXPECT_FALSE(GetFileVersion(dir / "empty").valid());
    EXPECT_FALSE(GetFileVersion(dir / "missing").valid());

    // Every executable of ours carries the project's version.
    EXPECT_EQ(VersionString(GetFileVersion(test::binDir() + "/quelder8")), ZEPH_PROJECT_VERSION);
    EXPECT_EQ(ProgramVersionText(), ZEPH_PROJECT_VERSION);
    auto r = test::run({test::binDir() + "/zephtool", "version", test::binDir() + "/quelder8"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, std::string(ZEPH_PROJECT_VERSION) + "\n");
    r = test::run({test::binDir() + "/zephtool", "version", dir / "data.bin"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "none\n");
}
