// zephtool verify: checks a package's trailer and checksum without writing anything.
#include "verb.h"

#include "dbupdate/package.h"
#include "platform/files.h"

#include <cstdio>

using namespace zeph;

namespace {

int verify(const std::vector<std::string>& args)
{
    if (args.size() != 1) return zephtool::fail("použití: zephtool verify PACKAGE");
    if (!fs::isFile(args[0])) return zephtool::fail("soubor " + args[0] + " neexistuje");
    bool ok = dbu::VerifyPackage(args[0]);
    std::printf("%s\n", ok ? "OK" : "CHYBA");
    return ok ? 0 : 1;
}

zephtool::ZephtoolVerb verb("verify", "verify PACKAGE", verify);

}  // namespace
