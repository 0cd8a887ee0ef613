#include "netupdate/file_version.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zeph;
using namespace zeph::nu;

namespace {

void put16(std::string& s, size_t at, uint16_t v)
{
    for (int i = 0; i < 2; ++i) s[at + i] = char(v >> (8 * i));
}
void put32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
}

struct PeOptions {
    bool pe32plus = false;
    uint16_t resourceType = 16;  // RT_VERSION
    uint32_t signature = 0xFEEF04BDu;
    bool resourceDirectory = true;
};

// A small PE image with one section ".rsrc" whose resource tree holds one version resource
// (type, name 1, language 0x409) with the fixed record.
std::string peImage(uint32_t ms, uint32_t ls, const PeOptions& o = {})
{
    std::string s(0x400, '\0');
    s[0] = 'M';
    s[1] = 'Z';
    put32(s, 0x3C, 0x40);
    s.replace(0x40, 4, std::string("PE\0\0", 4));
    const size_t coff = 0x44, opt = coff + 20;
    const uint16_t optSize = o.pe32plus ? 240 : 224;
    put16(s, coff, o.pe32plus ? 0x8664 : 0x14C);
    put16(s, coff + 2, 1);
    put16(s, coff + 16, optSize);
    put16(s, opt, o.pe32plus ? 0x20B : 0x10B);
    const size_t dirs = opt + (o.pe32plus ? 112 : 96);
    put32(s, dirs - 4, 16);
    const uint32_t rva = 0x1000, raw = 0x200;
    if (o.resourceDirectory) {
        put32(s, dirs + 16, rva);
        put32(s, dirs + 20, 0x100);
    }
    const size_t sec = opt + optSize;
    s.replace(sec, 5, ".rsrc");
    put32(s, sec + 8, 0x100);
    put32(s, sec + 12, rva);
    put32(s, sec + 16, 0x200);
    put32(s, sec + 20, raw);
    // Root: one id entry -> names; names: one entry -> languages; languages: one data entry.
    auto dir = [&](size_t at, uint32_t id, uint32_t target) {
        put16(s, raw + at + 14, 1);
        put32(s, raw + at + 16, id);
        put32(s, raw + at + 20, target);
    };
    dir(0x00, o.resourceType, 0x80000000u | 0x18);
    dir(0x18, 1, 0x80000000u | 0x30);
    dir(0x30, 0x409, 0x48);
    put32(s, raw + 0x48, rva + 0x58);
    put32(s, raw + 0x4C, 92);
    const size_t info = raw + 0x58;
    put16(s, info, 92);
    put16(s, info + 2, 52);
    std::string key = std::string("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0\0", 32);
    s.replace(info + 6, key.size(), key);
    put32(s, info + 40, o.signature);
    put32(s, info + 44, 0x00010000u);
    put32(s, info + 48, ms);
    put32(s, info + 52, ls);
    return s;
}

}  // namespace

TEST(FileVersion, PeVersionResources)
{
    test::TempDir dir;
    struct Case { const char* name; std::string image; const char* version; };
    std::string dataWithRecord = peImage(0x00020001, 0x00050007);
    dataWithRecord[0] = 'X';
    const Case cases[] = {
        {"pe32.exe", peImage(0x00020001, 0x00050007), "2.1.5.7"},
        {"pe64.dll", peImage(0x00080000, 0x00030000, {.pe32plus = true}), "8.0.3.0"},
        {"big.exe", peImage(0xFFFF0001, 0x00020003), "65535.1.2.3"},
        // The record lies in an icon resource, or no resource directory points at it.
        {"icon.exe", peImage(0x00020001, 0x00050007, {.resourceType = 3}), nullptr},
        {"nodir.exe", peImage(0x00020001, 0x00050007, {.resourceDirectory = false}), nullptr},
        {"badsig.exe", peImage(0x00020001, 0x00050007, {.signature = 0xFEEF04BCu}), nullptr},
        {"data.bin", dataWithRecord, nullptr},
        {"empty", "", nullptr},
    };
    for (auto& c : cases) {
        test::writeFile(dir / c.name, c.image);
        FileVersion v = GetFileVersion(dir / c.name);
        if (c.version) EXPECT_EQ(VersionString(v), c.version) << c.name;
        else EXPECT_FALSE(v.valid()) << c.name << " " << VersionString(v);
    }
    EXPECT_FALSE(GetFileVersion(dir / "missing").valid());
    ASSERT_EQ(::mkfifo((dir / "fifo.exe").c_str(), 0600), 0);
    for (std::string odd : {dir / "fifo.exe", dir.path(), std::string("/dev/zero")}) EXPECT_FALSE(GetFileVersion(odd).valid()) << odd;

    // A file cut anywhere gives no version and never reads past its end.
    std::string full = peImage(0x00020001, 0x00050007);
    for (size_t len = 0; len < 0x290; len += 7) {
        test::writeFile(dir / "cut.exe", full.substr(0, len));
        EXPECT_FALSE(GetFileVersion(dir / "cut.exe").valid()) << len;
    }
}

TEST(FileVersion, OurExecutablesCarryTheProjectVersion)
{
    test::TempDir dir;
    EXPECT_EQ(VersionString(GetFileVersion(test::binDir() + "/quelder8")), ZEPH_PROJECT_VERSION);
    EXPECT_EQ(ProgramVersionText(), ZEPH_PROJECT_VERSION);  // this test program is one of ours too
    // A foreign ELF file has no note of ours.
    EXPECT_FALSE(GetFileVersion("/bin/sh").valid());

    auto r = test::run({test::binDir() + "/zephtool", "version", test::binDir() + "/quelder8"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, std::string(ZEPH_PROJECT_VERSION) + "\n");
    test::writeFile(dir / "app.exe", peImage(0x00020001, 0x00050007));
    r = test::run({test::binDir() + "/zephtool", "version", dir / "app.exe"});
    EXPECT_EQ(r.out, "2.1.5.7\n");
    test::writeFile(dir / "data.bin", "plain text");
    r = test::run({test::binDir() + "/zephtool", "version", dir / "data.bin"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "none\n");
}
