// Fixtures of the database update tests: the HTTP server process and the independent package
// writer (both python scripts in tests/support).
#pragma once

#include "dbupdate/dbupdate.h"
#include "support/server_process.h"
#include "support/test_env.h"

#include <algorithm>
#include <string>
#include <vector>

namespace dbutest {

// The result memo of a run, line by line.
struct Lines : zeph::dbu::Memo {
    std::vector<std::string> lines;
    void append(const std::string& line) override { lines.push_back(line); }
    bool has(const std::string& l) const { return std::find(lines.begin(), lines.end(), l) != lines.end(); }
};

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
