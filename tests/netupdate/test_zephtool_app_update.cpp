// zephtool app-update run as a program against a real server: the administrator's view of one
// update run.
#include "netupdate/checksum.h"
#include "support/test_env.h"
#include "test_transport_servers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace zeph;

namespace {

// The status numbers of the printed lines, in order.
std::vector<int> statusNumbers(const std::string& out)
{
    std::vector<int> numbers;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 1 && line[0] == '[') numbers.push_back(std::atoi(line.c_str() + 1));
    return numbers;
}

TEST(ZephtoolAppUpdate, FetchesANewVersionAndAChangedChecksumIntoTheirTargetFolders)
{
    test::TempDir base;
    const std::string www = base / "www", app = base / "app", bin = test::binDir();
    std::filesystem::create_directories(www + "/updates/zeph");
    std::filesystem::create_directories(app);
    // Installed: one of our executables (its version record says the project's version) and a data file.
    std::filesystem::copy_file(bin + "/didi", app + "/tool");
    test::writeFile(app + "/data.txt", "old data");
    test::writeFile(www + "/tool.bin", "new tool");
    test::writeFile(www + "/data.txt", "new data");
    nutest::HttpServer server(www);
    auto section = [&](int n, const std::string& name, const std::string& condition) {
        return "[file" + std::to_string(n) + "]\nurl=" + server.url("/" + name) + "\ntargetdir=" + app + "\ndescr=" + name +
               "\n" + condition + "\n";
    };
    test::writeFile(www + "/updates/zeph/update.inf",
                    "[update]\nnewversion=99.0.0.0\nlocalversion=" + bin + "/quelder8\n[files]\ncount=2\n" +
                        section(1, "tool.bin", "newversion=99.1\nlocalversion=" + app + "/tool") +
                        section(2, "data.txt", "newchecksum=" + std::to_string(nu::FileCRC32(app + "/data.txt") + 1) +
                                                   "\nlocalversion=" + app + "/data.txt"));

    auto r = test::run({bin + "/zephtool", "app-update", "--url", server.url("/updates/zeph/update.inf")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::readFile(app + "/tool.bin"), "new tool");
    EXPECT_EQ(test::readFile(app + "/data.txt"), "new data");
    // Start of run, connection, control file, version found, both files checked, both fetched,
    // then the end of the instructions and the closing of the connection.
    const std::vector<int> expected = {968, 966, 967, 969, 970, 963, 918, 921, 915, 926, 933, 944, 929,
                                       943, 971, 944, 971, 944, 915, 915, 948, 949, 949};
    EXPECT_EQ(statusNumbers(r.out), expected) << r.out;
    EXPECT_NE(r.out.find("[944] Version check : Checksum compare of " + app + "/data.txt"), std::string::npos) << r.out;
}

}  // namespace
