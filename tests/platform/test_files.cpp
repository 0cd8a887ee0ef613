#include "platform/files.h"
#include "platform/folders.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zeph;
using zeph::test::TempDir;

TEST(Files, MatchesWindowsMasks)
{
    struct Case { const char* name; const char* mask; bool cs; bool match; };
    const Case cases[] = {
        {"AC.di8", "*.di8", false, true}, {"AC.DI8", "*.di8", false, true}, {"AC.DI8", "*.di8", true, false},
        {"AC.di8.old", "*.di8", false, false}, {"x", "*.*", false, true}, {"abc", "a?c", false, true},
        {"ac", "a?c", false, false}, {"čaj.DZP", "*.dzp", false, true}, {"upd", "u*d*", false, true},
    };
    for (auto& c : cases) EXPECT_EQ(fs::matchMask(c.name, c.mask, c.cs), c.match) << c.name << " " << c.mask;
}

TEST(Files, PathsAcceptBackslashes)
{
    EXPECT_EQ(fs::toNative("{APP}\\program.exe"), "{APP}/program.exe");
    EXPECT_EQ(fs::fileName("C:\\a\\b.di8"), "b.di8");
    EXPECT_EQ(fs::folderOf("/a/b\\c.txt"), "/a/b/");
    EXPECT_EQ(fs::extension("/a.b/c"), "");
    EXPECT_EQ(fs::withTrailingSlash("/x"), "/x/");
    EXPECT_EQ(fs::withoutTrailingSlash("/x//"), "/x");
    EXPECT_EQ(fs::join("/x/", "\\y"), "/x//y");
}

TEST(Files, CopyMoveAndCreateFolders)
{
    TempDir dir;
    ASSERT_TRUE(fs::createDirectories(dir / "a\\b/c"));
    EXPECT_TRUE(fs::isDirectory(dir / "a/b/c"));
    test::writeFile(dir / "src", "new");
    test::writeFile(dir / "dst", "old");
    EXPECT_FALSE(fs::copyFile(dir / "src", dir / "dst", true));
    EXPECT_EQ(test::readFile(dir / "dst"), "old");
    EXPECT_TRUE(fs::copyFile(dir / "src", dir / "dst", false));
    EXPECT_EQ(test::readFile(dir / "dst"), "new");
    EXPECT_FALSE(fs::copyFile(dir / "missing", dir / "x", false));
    EXPECT_FALSE(fs::moveFile(dir / "src", dir / "dst"));  // target present
    EXPECT_TRUE(fs::moveFile(dir / "src", dir / "a/moved"));
    EXPECT_FALSE(fs::exists(dir / "src"));
    // Nothing but the two files remains: no temporary left by the copies.
    auto entries = fs::list(dir.path());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "a");
    EXPECT_TRUE(entries[0].directory);
    EXPECT_EQ(entries[1].name, "dst");
}

TEST(Files, TempFilesSpaceAndMounts)
{
    TempDir dir;
    std::string a = fs::makeTempFile(dir.path(), "NUPD"), b = fs::makeTempFile(dir.path(), "NUPD");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(fs::fileName(a).rfind("NUPD", 0), 0u);
    EXPECT_EQ(fs::fileSize(a).value_or(99), 0u);
    EXPECT_GT(fs::freeBytes(dir.path()).value_or(0), 0u);
    EXPECT_FALSE(fs::freeBytes(dir / "missing/deeper"));
    std::string mp = fs::mountPoint(dir.path());
    EXPECT_EQ(mp.back(), '/');
    EXPECT_EQ(dir.path().rfind(fs::withoutTrailingSlash(mp) == "/" ? "/" : fs::withoutTrailingSlash(mp), 0), 0u);
    EXPECT_TRUE(fs::setReadOnly(a, true));
    EXPECT_TRUE(fs::isReadOnly(a));
}

TEST(Folders, DeriveFromHomeAndXdg)
{
    test::IsolatedHome home;
    std::string h = home.path() + "/";
    EXPECT_EQ(folders::configHome(), h + ".config/");
    EXPECT_EQ(folders::documents(), h + "Documents/");
    EXPECT_EQ(folders::desktop(), h + "Desktop/");
    EXPECT_EQ(folders::localAppData(), h + ".cache/");
    EXPECT_EQ(folders::commonDocuments(), h + ".local/share/");
    test::writeFile(h + ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Plocha\"\nXDG_DOCUMENTS_DIR=\"/srv/docs\"\n");
    EXPECT_EQ(folders::desktop(), h + "Plocha/");
    EXPECT_EQ(folders::documents(), "/srv/docs/");
    EXPECT_EQ(folders::programFolder().back(), '/');
}
