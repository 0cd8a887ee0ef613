// Packages: unpacking, verification, checksum and the packer, against an independent writer.
#include "dbu_fixtures.h"
#include "dbupdate/package.h"
#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zeph;
using namespace zeph::dbu;
using zeph::test::readFile;
using zeph::test::TempDir;
using zeph::test::writeFile;

namespace {

// Bytes that compress to more than one 65,536-byte source block.
std::string sampleContent(size_t n)
{
    std::string s(n, '\0');
    uint32_t x = 12345;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = char((x >> 16) & 0xFF);
    }
    return s;
}

ino_t inodeOf(const std::string& path)
{
    struct stat st{};
    stat(path.c_str(), &st);
    return st.st_ino;
}

class PackageTest : public ::testing::Test {
protected:
    TempDir dir{"dbu-pkg"};
    std::string content = sampleContent(300000);

    // A package made by Python's zlib, with optional trailer overrides.
    std::string pyMade(const std::string& name, const std::vector<std::string>& extra = {})
    {
        writeFile(dir / "input.bin", content);
        std::string pkg = dir / "pkg.dzp";
        dbutest::pyPackage(dir / "input.bin", pkg, name, extra);
        return pkg;
    }
};

TEST_F(PackageTest, UnpacksIndependentlyWrittenPackageUnderItsStoredName)
{
    std::string pkg = pyMade("ANGLBAS.di8");
    fs::createDirectories(dir / "out");
    std::string dest;
    std::vector<int64_t> progress;
    EXPECT_TRUE(UnpackFile(pkg, dir / "out", dest, nullptr, nullptr, [&](int64_t p) { progress.push_back(p); }));
    EXPECT_EQ(dest, dir / "out/ANGLBAS.di8");
    EXPECT_EQ(readFile(dest), content);
    // Random bytes do not compress: several source blocks, reported in order.
    ASSERT_GE(progress.size(), 4u);
    EXPECT_EQ(progress[0], 65536);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST_F(PackageTest, WithoutFolderUnpacksBesideTheSourceAndCzechNameIsConverted)
{
    std::string pkg = pyMade("Německý.di8");
    std::string dest;
    EXPECT_TRUE(UnpackFile(pkg, "", dest));
    EXPECT_EQ(dest, dir / "Německý.di8");
    EXPECT_EQ(readFile(dest), content);
}

TEST_F(PackageTest, SecondUnpackIntoSameFolderOnlyVerifies)
{
    std::string pkg = pyMade("x.di8");
    std::string dest;
    ASSERT_TRUE(UnpackFile(pkg, dir.path(), dest));
    ino_t first = inodeOf(dest);
    std::string again;
    EXPECT_TRUE(UnpackFile(pkg, dir.path(), again));
    EXPECT_EQ(again, dest);
    EXPECT_EQ(inodeOf(dest), first);  // not created anew
}

TEST_F(PackageTest, StaleFilePresentIsNeitherOverwrittenNorAccepted)
{
    std::string pkg = pyMade("x.di8");
    std::string packageBytes = readFile(pkg);
    writeFile(dir / "x.di8", content.substr(0, 1000));  // truncated earlier unpack
    std::string dest;
    EXPECT_FALSE(UnpackFile(pkg, dir.path(), dest));
    EXPECT_EQ(readFile(dir / "x.di8"), content.substr(0, 1000));
    EXPECT_EQ(readFile(pkg), packageBytes);
}

TEST_F(PackageTest, StreamDestinationIgnoresPresentFileAndAlwaysInflates)
{
    std::string pkg = pyMade("x.di8");
    writeFile(dir / "x.di8", "stale");
    MemoryStream out;
    std::string dest;
    EXPECT_TRUE(UnpackFile(pkg, dir.path(), dest, nullptr, &out));
    EXPECT_EQ(out.bytes(), content);
    EXPECT_EQ(readFile(dir / "x.di8"), "stale");
}

TEST_F(PackageTest, MemoryToMemoryAsTheCatalogueIsRead)
{
    std::string pkg = pyMade("updatedb.inf");
    MemoryStream src(readFile(pkg)), out;
    std::string none;
    EXPECT_TRUE(UnpackFile("", "", none, &src, &out));
    EXPECT_EQ(out.bytes(), content);
    EXPECT_TRUE(none.empty());
}

TEST_F(PackageTest, InputsThatAreNoPackageGiveFalseAndCreateNothing)
{
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty file", ""},
        {"shorter than a name length", "ab"},
        {"html error page", "<html><body>404 Not Found</body></html>\n"},
        {"negative name length", std::string(30, 'x') + std::string("\xff\xff\xff\xff", 4)},
        {"name length beyond the file", std::string(30, 'x') + std::string("\x20\x00\x00\x00", 4)},
    };
    for (const Case& c : cases) {
        TempDir out{"dbu-out"};
        writeFile(dir / "bad.dzp", c.bytes);
        std::string dest;
        EXPECT_FALSE(UnpackFile(dir / "bad.dzp", out.path(), dest)) << c.what;
        EXPECT_TRUE(dbutest::entries(out.path()).empty()) << c.what;
    }
    std::string dest;
    EXPECT_FALSE(UnpackFile(dir / "missing.dzp", dir.path(), dest));
}

TEST_F(PackageTest, StoredNamesThatAreNotPlainFileNamesAreRefused)
{
    for (const std::string name : {"", ".", "..", "../x.di8", "sub/x.di8", "..\\x.di8", "/tmp/x.di8"}) {
        TempDir root{"dbu-root"};
        fs::createDirectories(root / "dest");
        std::string pkg = root / "evil.dzp";
        writeFile(root / "in.bin", "payload");
        dbutest::pyPackage(root / "in.bin", pkg, name);
        std::string dest;
        EXPECT_FALSE(UnpackFile(pkg, root / "dest", dest)) << name;
        EXPECT_TRUE(dest.empty()) << name;
        EXPECT_TRUE(dbutest::entries(root / "dest").empty()) << name;
        EXPECT_EQ(dbutest::entries(root.path()), (std::vector<std::string>{"dest", "evil.dzp", "in.bin"})) << name;
        EXPECT_FALSE(VerifyPackage(pkg)) << name;
    }
}

TEST_F(PackageTest, ChecksumMismatchGivesFalseAndKeepsTheWrittenFile)
{
    std::string pkg = pyMade("x.di8", {"--checksum", "42"});
    std::string dest;
    EXPECT_FALSE(UnpackFile(pkg, dir.path(), dest));
    EXPECT_EQ(readFile(dest), content);
    EXPECT_FALSE(VerifyPackage(pkg));
}

TEST_F(PackageTest, BodiesThatDoNotInflateRaiseAndLeaveThePartialFile)
{
    // Not zlib at all; and a valid body that inflates to less than the stated size.
    std::string garbage = pyMade("a.di8", {"--body-hex", "00112233445566778899aabbccddeeff"});
    std::string dest;
    fs::createDirectories(dir / "o1");
    EXPECT_THROW(UnpackFile(garbage, dir / "o1", dest), PackageError);
    EXPECT_THROW(VerifyPackage(garbage), PackageError);

    fs::createDirectories(dir / "o2");
    std::string shortBody = pyMade("b.di8", {"--size", std::to_string(content.size() + 10)});
    dest.clear();
    EXPECT_THROW(UnpackFile(shortBody, dir / "o2", dest), PackageError);
    EXPECT_EQ(readFile(dir / "o2/b.di8"), content);  // written up to where the body ended
    EXPECT_THROW(VerifyPackage(shortBody), PackageError);

    // A body cut in the middle of the zlib stream.
    std::string whole = readFile(pyMade("c.di8"));
    std::string trailer = whole.substr(whole.size() - 25);
    writeFile(dir / "cut.dzp", whole.substr(0, 5000) + trailer);
    fs::createDirectories(dir / "o3");
    dest.clear();
    EXPECT_THROW(UnpackFile(dir / "cut.dzp", dir / "o3", dest), PackageError);
}

TEST_F(PackageTest, EmptyCarriedFileUnpacksToAnEmptyFile)
{
    content.clear();
    std::string pkg = pyMade("empty.di8");
    std::string dest;
    EXPECT_TRUE(UnpackFile(pkg, dir.path(), dest));
    EXPECT_TRUE(fs::isFile(dest));
    EXPECT_EQ(*fs::fileSize(dest), 0u);
    EXPECT_TRUE(VerifyPackage(pkg));
}

TEST(PackageChecksum, KnownValues)
{
    MemoryStream empty, abc("abc"), high(std::string("\xff\x80", 2));
    EXPECT_EQ(PackageChecksum(empty), 1u);
    EXPECT_EQ(PackageChecksum(abc), 295u);
    EXPECT_EQ(PackageChecksum(high), 1u + 255 + 128);  // bytes are unsigned
    abc.seek(1);
    EXPECT_EQ(PackageChecksum(abc), 1u + 'b' + 'c');   // from the current position
    // Many blocks: the sum of 200,000 bytes of 0xFF.
    MemoryStream big(std::string(200000, '\xff'));
    EXPECT_EQ(PackageChecksum(big), 1u + 200000u * 255u);
}

TEST_F(PackageTest, PackerOutputReadsBackWithTheIndependentReader)
{
    writeFile(dir / "in.bin", content);
    PackFile(dir / "in.bin", dir / "out.dzp", "Španělský.di8");
    std::string info = dbutest::pyReadPackage(dir / "out.dzp", dir / "back.bin");
    MemoryStream m(content);
    EXPECT_EQ(info, "Španělský.di8\t" + std::to_string(content.size()) + "\t" + std::to_string(PackageChecksum(m)));
    EXPECT_EQ(readFile(dir / "back.bin"), content);
    EXPECT_TRUE(VerifyPackage(dir / "out.dzp"));
}

}  // namespace
