// zephtool pack: writes a database package for publishing on the update server.
#include "verb.h"

#include "dbupdate/package.h"
#include "platform/files.h"

#include <cstdio>

using namespace zeph;

namespace {

int pack(const std::vector<std::string>& args)
{
    std::string input, output, name;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) output = args[++i];
        else if (args[i] == "--name" && i + 1 < args.size()) name = args[++i];
        else if (input.empty() && !args[i].empty() && args[i][0] != '-') input = args[i];
        else return zephtool::fail("neznámý argument: " + args[i]);
    }
    if (input.empty()) return zephtool::fail("chybí soubor k zabalení");
    if (!fs::isFile(input)) return zephtool::fail("soubor " + input + " neexistuje");
    if (name.empty()) name = fs::fileName(input);
    if (!dbu::IsPlainFileName(name)) return zephtool::fail("uložené jméno musí být prosté jméno souboru: " + name);
    if (output.empty()) {
        std::string base = input.substr(0, input.size() - fs::extension(input).size());
        output = base + ".dzp";
    }
    dbu::PackFile(input, output, name);
    std::printf("%s\n", output.c_str());
    return 0;
}

zephtool::ZephtoolVerb verb("pack", "pack FILE [-o OUT.dzp] [--name STORED]", pack);

}  // namespace
