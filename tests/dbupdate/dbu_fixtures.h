// Fixtures of the database update tests: the HTTP server process and the independent package
// writer (both python scripts in tests/support).
#pragma once

#include "support/server_process.h"
#include "support/test_env.h"

#include <string>
#include <vector>

namespace dbutest {

// tests/support/dbu_http_server.py serving `root` on 127.0.0.1; stopped with the object.
class HttpServer : public zeph::test::ServerProcess {
public:
    explicit HttpServer(const std::string& root, const std::vector<std::string>& options = {});
};

// A port on 127.0.0.1 on which nothing listens.
int closedPort();

using zeph::test::supportScript;

// Package of `input` written by Python's zlib; extra: "--size", "5", "--checksum", "9", ...
void pyPackage(const std::string& input, const std::string& output, const std::string& storedName,
               const std::vector<std::string>& extra = {});
// Reads a package with Python: "name\tU\tS", the inflated content written to `out`.
std::string pyReadPackage(const std::string& package, const std::string& out);

// Names of the entries of a folder, sorted (for "nothing else was created" checks).
std::vector<std::string> entries(const std::string& folder);

}  // namespace dbutest
