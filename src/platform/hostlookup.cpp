#include "platform/hostlookup.h"

#include "platform/registry.h"
#include "platform/textcodec.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <netdb.h>
#include <sys/socket.h>

namespace zeph::net {

std::optional<std::string> resolveIPv4(const std::string& host)
{
    if (host.empty()) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return std::nullopt;
    char buf[INET_ADDRSTRLEN] = {};
    auto* sin = reinterpret_cast<sockaddr_in*>(res->ai_addr);
    inet_ntop(AF_INET, &sin->sin_addr, buf, sizeof buf);
    freeaddrinfo(res);
    return std::string(buf);
}

std::string updateServer()
{
    if (const char* e = std::getenv("ZEPH_UPDATE_SERVER"); e && *e) return text::trim(e);
    try {
        if (auto key = reg::Key::open(reg::Root::LocalMachine, "Software\\Varnholt\\Zephlon8"))
            if (auto v = key->getText("UpdateServer"); v && !text::trim(*v).empty()) return text::trim(*v);
    } catch (const reg::Error&) {
        // An unreadable machine hive leaves the built-in server.
    }
    return kDefaultUpdateServer;
}

std::string updateServerHost()
{
    std::string s = updateServer();
    if (!s.empty() && s[0] == '[') {  // [v6]:port
        size_t close = s.find(']');
        return close == std::string::npos ? s : s.substr(1, close - 1);
    }
    size_t colon = s.find(':');
    return colon == std::string::npos ? s : s.substr(0, colon);
}

}  // namespace zeph::net
