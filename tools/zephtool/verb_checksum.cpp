// zephtool checksum --crc32 FILE | --bytesum FILE: the signed decimal value a publisher writes
// as newchecksum in the update control file.
#include "verb.h"

#include "dbupdate/package.h"
#include "netupdate/checksum.h"
#include "platform/files.h"

#include <cstdio>

namespace {

int runChecksum(const std::vector<std::string>& args)
{
    if (args.size() != 2) return zephtool::fail("usage: zephtool checksum --crc32|--bytesum|--package FILE");
    if (!zeph::fs::isFile(args[1])) return zephtool::fail("cannot read " + args[1]);
    if (args[0] == "--package") {
        zeph::dbu::FileStream in(args[1], zeph::dbu::FileStream::Mode::Read);
        std::printf("%llu\n", (unsigned long long)zeph::dbu::PackageChecksum(in));
    } else if (args[0] == "--crc32") std::printf("%d\n", zeph::nu::FileCRC32(args[1]));
    else if (args[0] == "--bytesum") std::printf("%d\n", zeph::nu::ByteSumChecksum(args[1]));
    else return zephtool::fail("unknown checksum: " + args[0]);
    return 0;
}

zephtool::ZephtoolVerb verb("checksum", "checksum --crc32|--bytesum|--package FILE", runChecksum);

}  // namespace
