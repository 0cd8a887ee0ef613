// A test peer started as its own process (one of the python servers of tests/support): it reports
// the port it listens on as the first line of its output and dies with the object or the test.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace zeph::test {

// The path of a script of tests/support.
std::string supportScript(const std::string& name);

class ServerProcess {
public:
    // Throws when the program gives no port within 30 seconds.
    explicit ServerProcess(const std::vector<std::string>& argv);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    int port() const { return port_; }
    std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace zeph::test
