// Test peers of the update engine: the HTTP and FTP servers of tests/support, each started on a
// free port of 127.0.0.1 for the life of the object.
#pragma once

#include "support/server_process.h"

#include <string>
#include <vector>

namespace nutest {

using zeph::test::ServerProcess;
using zeph::test::supportScript;

// nu_http_server.py ROOT options...
class HttpServer : public ServerProcess {
public:
    explicit HttpServer(const std::string& root, const std::vector<std::string>& options = {});
    std::string url(const std::string& path) const;  // "http://127.0.0.1:PORT" + path
};

// nu_ftp_server.py ROOT options... (pyftpdlib under the system python)
class FtpServer : public ServerProcess {
public:
    explicit FtpServer(const std::string& root, const std::vector<std::string>& options = {});
};

// Lines of a file, "" lines dropped; empty when it does not exist.
std::vector<std::string> readLines(const std::string& path);

}  // namespace nutest
