// zephtool version FILE: the file version record of a program file.
#include "verb.h"

#include "netupdate/file_version.h"

#include <cstdio>

namespace {

int runVersion(const std::vector<std::string>& args)
{
    if (args.size() != 1) return zephtool::fail("usage: zephtool version FILE");
    auto v = zeph::nu::GetFileVersion(args[0]);
    if (!v.valid()) {
        std::printf("none\n");
        return 1;
    }
    std::printf("%s\n", zeph::nu::VersionString(v).c_str());
    return 0;
}

zephtool::ZephtoolVerb verb("version", "version FILE", runVersion);

}  // namespace
