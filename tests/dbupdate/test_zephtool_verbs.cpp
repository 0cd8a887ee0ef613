// zephtool pack, unpack, verify, checksum --package and update-databases, run as programs.
#include "dbu_fixtures.h"
#include "platform/files.h"

#include <gtest/gtest.h>

using namespace zeph;
using zeph::test::readFile;
using zeph::test::run;
using zeph::test::TempDir;
using zeph::test::writeFile;

namespace {

const std::string zephtool() { return zeph::test::binDir() + "/zephtool"; }

TEST(ZephtoolPackageVerbs, PackUnpackVerifyAndTheirExitCodes)
{
    TempDir dir{"dbu-zt"};
    writeFile(dir / "angl.di8", std::string(100000, 'a') + "end");
    auto packed = run({zephtool(), "pack", dir / "angl.di8"});
    EXPECT_EQ(packed.exitCode, 0) << packed.err;
    EXPECT_EQ(run({zephtool(), "verify", dir / "angl.dzp"}).exitCode, 0);
    fs::createDirectories(dir / "out");
    auto unpacked = run({zephtool(), "unpack", dir / "angl.dzp", dir / "out"});
    EXPECT_EQ(unpacked.exitCode, 0);
    EXPECT_EQ(unpacked.out, dir / "out/angl.di8\n");
    EXPECT_EQ(readFile(dir / "out/angl.di8"), readFile(dir / "angl.di8"));

    // Wrong checksum: 1; not inflatable: 2 with a message; missing: 2.
    dbutest::pyPackage(dir / "angl.di8", dir / "bad.dzp", "bad.di8", {"--checksum", "3"});
    EXPECT_EQ(run({zephtool(), "verify", dir / "bad.dzp"}).exitCode, 1);
    EXPECT_EQ(run({zephtool(), "unpack", dir / "bad.dzp", dir / "out"}).exitCode, 1);
    dbutest::pyPackage(dir / "angl.di8", dir / "corrupt.dzp", "c.di8", {"--body-hex", "0102030405060708"});
    auto corrupt = run({zephtool(), "verify", dir / "corrupt.dzp"});
    EXPECT_EQ(corrupt.exitCode, 2);
    EXPECT_NE(corrupt.err.find("zephtool: "), std::string::npos);
    EXPECT_EQ(run({zephtool(), "verify", dir / "none.dzp"}).exitCode, 2);

    writeFile(dir / "abc", "abc");
    EXPECT_EQ(run({zephtool(), "checksum", "--package", dir / "abc"}).out, "295\n");
}

TEST(ZephtoolPackageVerbs, StoredNameWithParentFolderIsRefused)
{
    TempDir dir{"dbu-zt"};
    fs::createDirectories(dir / "a/b");
    writeFile(dir / "in.bin", "payload");
    dbutest::pyPackage(dir / "in.bin", dir / "a/evil.dzp", "../x.di8");
    auto r = run({zephtool(), "unpack", dir / "a/evil.dzp", dir / "a/b"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "a/x.di8"));
    EXPECT_TRUE(dbutest::entries(dir / "a/b").empty());
    EXPECT_NE(run({zephtool(), "pack", dir / "in.bin", "--name", "../x.di8"}).exitCode, 0);
}

TEST(ZephtoolUpdateDatabases, MemoOnStdoutForCurrentAndUnreachable)
{
    test::IsolatedHome home;
    TempDir srv{"dbu-zt-srv"}, db{"dbu-zt-db"};
    writeFile(srv / "cat.txt", "[Other]\r\nAB=1\r\n");
    fs::createDirectories(srv / "updates/zeph");
    dbutest::pyPackage(srv / "cat.txt", srv / "updates/zeph/updatedb.dzp", "updatedb.inf");
    dbutest::HttpServer server(srv.path());
    auto current = run({zephtool(), "update-databases", "--server", server.hostPort(), "--folder", db.path()});
    EXPECT_EQ(current.exitCode, 0);
    EXPECT_EQ(current.out, "Kontrola aktualizace databází...\nDatabáze jsou aktuální.\nAktualizace databází ukončena.\n"
                           "-----------------------------------\n");
    auto down = run({zephtool(), "update-databases", "--server", "127.0.0.1:" + std::to_string(dbutest::closedPort()),
                     "--folder", db.path()});
    EXPECT_EQ(down.out, "Kontrola aktualizace databází...\nDošlo k chybě při spojení.\nAktualizace databází ukončena.\n"
                        "-----------------------------------\n");
    auto html = run({zephtool(), "update-databases", "--server", server.hostPort() + "/nothing", "--folder", db.path()});
    EXPECT_NE(html.out.find("\nDošlo k chybě při spojení.\n"), std::string::npos) << html.out;  // 404

    TempDir page{"dbu-zt-page"};
    writeFile(page / "updates/zeph/updatedb.dzp", "<html><body>Maintenance</body></html>\n");
    dbutest::HttpServer pageServer(page.path());
    auto notPackage = run({zephtool(), "update-databases", "--server", pageServer.hostPort(), "--folder", db.path()});
    EXPECT_NE(notPackage.out.find("\nChyba načtení.\nAktualizace databází ukončena.\n"), std::string::npos)
        << notPackage.out;
}

// The whole run as an administrator starts it: only --server names the server (nothing in the
// environment), so the downloader must be given the same one.
TEST(ZephtoolUpdateDatabases, ReplacesTwoOutdatedDatabasesKeepsBackupsThenAllIsCurrent)
{
    test::IsolatedHome home;
    unsetenv("ZEPH_UPDATE_SERVER");
    TempDir srv{"dbu-zt-srv"}, db{"dbu-zt-db"}, scratch{"dbu-zt-new"};
    auto makeDb = [](const std::string& path, const std::string& name, int lang1, const std::string& date) {
        auto r = run({test::binDir() + "/make-di8", path, "Version=8.0", "Name=" + name, "Lang1ID=" + std::to_string(lang1),
                      "Lang2ID=0", "LangCombination=0", "LangShift=0", "AvailableDicts=0", "Date=" + date, "UpdateVer=1"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    };
    struct Db { const char* file; const char* name; int lang1; const char* package; };
    const Db dbs[] = {{"angl.di8", "BAS Anglicko-český", 1, "ANGLBAS"}, {"nemc.di8", "PRO Německo-český", 2, "NEMCPRO"}};
    fs::createDirectories(srv / "updates/zeph/db");
    for (auto& d : dbs) {
        makeDb(db / d.file, d.name, d.lang1, "2007-06-01T00:00:00");
        makeDb(scratch / d.file, d.name, d.lang1, "2008-01-01T00:00:00");
        ASSERT_EQ(run({zephtool(), "pack", scratch / d.file, "-o", srv / ("updates/zeph/db/" + std::string(d.package) + ".dzp")}).exitCode, 0);
    }
    writeFile(scratch / "cat.txt", "[UDates]\r\nAB=39448\r\nABF=anglbas\r\nABS=0\r\nNP=39448\r\nNPF=nemcpro\r\nNPS=0\r\n");
    dbutest::pyPackage(scratch / "cat.txt", srv / "updates/zeph/updatedb.dzp", "updatedb.inf");
    dbutest::HttpServer server(srv.path());
    const std::string folder = db.path() + "/";

    auto first = run({zephtool(), "update-databases", "--server", server.hostPort(), "--folder", db.path()});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "Kontrola aktualizace databází...\nStahování ukončeno.\nRozbalování souborů\nRozbalování souborů\n"
                         "Provedena aktualizace databáze:\n" + folder + "angl.di8\n"
                         "Původní databáze je zálohována v souboru:\n" + folder + "angl.old\n"
                         "Provedena aktualizace databáze:\n" + folder + "nemc.di8\n"
                         "Původní databáze je zálohována v souboru:\n" + folder + "nemc.old\n"
                         "Aktualizace databází ukončena.\n-----------------------------------\n") << first.err;
    for (auto& d : dbs) EXPECT_EQ(readFile(db / d.file), readFile(scratch / d.file)) << d.file;
    EXPECT_TRUE(fs::isFile(db / "angl.old"));
    EXPECT_TRUE(fs::isFile(db / "nemc.old"));

    auto second = run({zephtool(), "update-databases", "--server", server.hostPort(), "--folder", db.path()});
    EXPECT_EQ(second.out, "Kontrola aktualizace databází...\nDatabáze jsou aktuální.\nAktualizace databází ukončena.\n"
                          "-----------------------------------\n");
}

}  // namespace
