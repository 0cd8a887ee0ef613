// A program that runs as one instance: "second" and exit 3 when another copy runs; else "first",
// then it listens for front requests and prints "front" for each, until killed.
#include "desktop/one_instance.h"

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main()
{
    zeph::desk::TOneInstance one("Zephlon 8 - ovládací panel");
    if (one.Check(nullptr)) {
        std::printf("second\n");
        return 3;
    }
    std::string path = one.socketPath();
    unlink(path.c_str());
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, 4) != 0) return 1;
    std::printf("first\n");
    std::fflush(stdout);
    for (;;) {
        int c = accept(s, nullptr, nullptr);
        if (c < 0) continue;
        char buf[16] = {};
        if (read(c, buf, sizeof buf - 1) > 0 && std::strncmp(buf, "front", 5) == 0) {
            std::printf("front\n");
            std::fflush(stdout);
        }
        close(c);
    }
}
