// Host name lookup to an IPv4 address (in place of gethostbyname).
#pragma once

#include <optional>
#include <string>

namespace zeph::net {

// The first IPv4 address of the host in dotted form; nullopt when it does not resolve.
std::optional<std::string> resolveIPv4(const std::string& host);

// The update server "host" or "host:port": $ZEPH_UPDATE_SERVER, else the REG_SZ value
// UpdateServer of HKLM "Software\Varnholt\Zephlon8", else the built-in default.
std::string updateServer();
std::string updateServerHost();  // without the port
constexpr const char* kDefaultUpdateServer = "aktualizace.varnholt.cz";

}  // namespace zeph::net
