#include "netupdate/checksum.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

using namespace zeph;
using namespace zeph::nu;

namespace {

// Independent of the block reading: the rules over a whole buffer.
uint32_t referenceCrc(const std::string& d)
{
    uint32_t table[256];
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1) ? 0xEDB88320u : 0);
        table[i] = c;
    }
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : d) c += table[(c ^ b) & 0xFF] ^ (c >> 8);
    return ~c;
}

}  // namespace

TEST(Checksum, WorkedValues)
{
    test::TempDir dir;
    struct Case { std::string content; int32_t crc; int32_t sum; };
    const Case cases[] = {
        {"abc", 0x6C8D9D41, 293},
        {"123456789", 0x1ED0F3D0, -1 + (0x31 + 0x32 + 0x33 + 0x34 + 0x35 + 0x36 + 0x37 + 0x38 + 0x39)},
        {"a", -390611388, 96},
        {"", 0, -1},
        {std::string(4096, '\xFF'), int32_t(referenceCrc(std::string(4096, '\xFF'))), 1044479},
    };
    for (auto& c : cases) {
        test::writeFile(dir / "f", c.content);
        EXPECT_EQ(FileCRC32(dir / "f"), c.crc) << c.content.size();
        EXPECT_EQ(ByteSumChecksum(dir / "f"), c.sum) << c.content.size();
    }
    // What is not a readable regular file counts as unreadable, and never hangs the caller.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (std::string odd : {dir / "missing", dir / "fifo", dir.path(), std::string("/dev/zero")}) {
        EXPECT_EQ(FileCRC32(odd), 0) << odd;
        EXPECT_EQ(ByteSumChecksum(odd), -1) << odd;
    }
}

TEST(Checksum, SizesAroundTheBlockBoundaryAreFullyCovered)
{
    test::TempDir dir;
    std::mt19937 rng(7);
    for (size_t size : {4095u, 4096u, 4097u, 8191u, 8192u, 8193u, 3 * 4096u, 100000u}) {
        std::string data(size, '\0');
        for (auto& ch : data) ch = char(rng());
        test::writeFile(dir / "f", data);
        EXPECT_EQ(uint32_t(FileCRC32(dir / "f")), referenceCrc(data)) << size;
        uint32_t sum = 0xFFFFFFFFu;
        for (unsigned char b : data) sum += b;
        EXPECT_EQ(uint32_t(ByteSumChecksum(dir / "f")), sum) << size;
    }
}

TEST(Checksum, Base64)
{
    struct Case { const char* in; const char* out; };
    const Case cases[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
                          {"user:", "dXNlcjo="}, {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="}};
    for (auto& c : cases) EXPECT_EQ(Base64Encode(c.in), c.out) << c.in;
    EXPECT_EQ(Base64Encode(std::string("\xFF\xFE\x00", 3)), "//4A");
}

TEST(Checksum, ZephtoolAgreesWithAnIndependentSum)
{
    test::TempDir dir;
    std::mt19937 rng(11);
    for (size_t size : {0u, 1u, 2u, 3u, 4095u, 4096u, 4097u, 8192u, 12345u, 65539u, 1000000u}) {
        std::string data(size, '\0');
        for (auto& ch : data) ch = char(rng());
        test::writeFile(dir / "f.bin", data);
        auto crc = test::run({test::binDir() + "/zephtool", "checksum", "--crc32", dir / "f.bin"});
        auto sum = test::run({test::binDir() + "/zephtool", "checksum", "--bytesum", dir / "f.bin"});
        ASSERT_EQ(crc.exitCode, 0);
        EXPECT_EQ(crc.out, std::to_string(int32_t(referenceCrc(data))) + "\n");
        uint32_t s = 0xFFFFFFFFu;
        for (unsigned char b : data) s += b;
        EXPECT_EQ(sum.out, std::to_string(int32_t(s)) + "\n");
    }
    EXPECT_EQ(test::run({test::binDir() + "/zephtool", "checksum", "--crc32", dir / "missing"}).exitCode, 2);
}
