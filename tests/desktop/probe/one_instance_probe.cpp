// A program that runs as one instance: "second" and exit 3 when another copy runs; else "first",
// then it listens for front requests and prints "front" for each, until killed.
#include "desktop/one_instance.h"

#include <cstdio>
#include <poll.h>

int main()
{
    zeph::desk::TOneInstance one("Zephlon 8 - ovládací panel");
    if (one.Check(nullptr)) {
        std::printf("second\n");
        return 3;
    }
    int s = one.ListenForFrontRequests();
    if (s < 0) return 1;
    std::printf("first\n");
    std::fflush(stdout);
    for (;;) {
        pollfd p{s, POLLIN, 0};
        if (poll(&p, 1, -1) <= 0) continue;
        if (one.TakeFrontRequests()) {
            std::printf("front\n");
            std::fflush(stdout);
        }
    }
}
