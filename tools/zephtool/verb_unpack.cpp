// zephtool unpack: unpacks a package as the database update does (a present file is only verified).
#include "verb.h"

#include "dbupdate/package.h"

#include <cstdio>

using namespace zeph;

namespace {

int unpack(const std::vector<std::string>& args)
{
    if (args.empty() || args.size() > 2) return zephtool::fail("použití: zephtool unpack PACKAGE [DIR]");
    std::string dest;
    bool verified = dbu::UnpackFile(args[0], args.size() > 1 ? args[1] : "", dest);
    if (!dest.empty()) std::printf("%s\n", dest.c_str());
    if (!verified) std::fprintf(stderr, "zephtool: balíček %s nebyl ověřen\n", args[0].c_str());
    return verified ? 0 : 1;
}

zephtool::ZephtoolVerb verb("unpack", "unpack PACKAGE [DIR]", unpack);

}  // namespace
