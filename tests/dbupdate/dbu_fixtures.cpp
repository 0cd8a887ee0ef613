#include "dbu_fixtures.h"

#include <algorithm>
#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace dbutest {

namespace {
std::vector<std::string> serverCommand(const std::string& root, const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {"python3", supportScript("dbu_http_server.py"), root};
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
}
}  // namespace

HttpServer::HttpServer(const std::string& root, const std::vector<std::string>& options)
    : ServerProcess(serverCommand(root, options))
{
}

int closedPort()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);  // nothing listens there any more
    return ntohs(a.sin_port);
}

void pyPackage(const std::string& input, const std::string& output, const std::string& storedName,
               const std::vector<std::string>& extra)
{
    std::vector<std::string> argv = {"python3", supportScript("dbu_package.py"), "write", input, output, "--name",
                                     storedName};
    argv.insert(argv.end(), extra.begin(), extra.end());
    auto r = zeph::test::run(argv);
    if (r.exitCode != 0) throw std::runtime_error("dbu_package.py write failed: " + r.err);
}

std::string pyReadPackage(const std::string& package, const std::string& out)
{
    auto r = zeph::test::run({"python3", supportScript("dbu_package.py"), "read", package, out});
    if (r.exitCode != 0) throw std::runtime_error("dbu_package.py read failed: " + r.err);
    while (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
    return r.out;
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace dbutest
