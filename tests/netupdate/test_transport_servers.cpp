#include "test_transport_servers.h"

#include <fstream>

namespace nutest {

namespace {
std::vector<std::string> withOptions(std::vector<std::string> argv, const std::vector<std::string>& options)
{
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
}
}  // namespace

HttpServer::HttpServer(const std::string& root, const std::vector<std::string>& options)
    : ServerProcess(withOptions({"python3", supportScript("nu_http_server.py"), root}, options))
{
}

std::string HttpServer::url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port()) + path; }

FtpServer::FtpServer(const std::string& root, const std::vector<std::string>& options)
    : ServerProcess(withOptions({"/usr/bin/python3", supportScript("nu_ftp_server.py"), root}, options))
{
}

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) out.push_back(line);
    return out;
}

}  // namespace nutest
