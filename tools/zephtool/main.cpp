#include "verb.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <string>

namespace zephtool {
namespace {
struct Entry { const char* usage; VerbFn fn; };
std::map<std::string, Entry>& verbs()
{
    static std::map<std::string, Entry> all;
    return all;
}
}  // namespace

ZephtoolVerb::ZephtoolVerb(const char* name, const char* usage, VerbFn fn) { verbs()[name] = {usage, fn}; }

int fail(const std::string& message)
{
    std::fprintf(stderr, "zephtool: %s\n", message.c_str());
    return 2;
}
}  // namespace zephtool

static void usage()
{
    std::fprintf(stderr, "usage:\n");
    for (auto& [name, e] : zephtool::verbs())
        std::fprintf(stderr, "  zephtool %s\n", e.usage);
}

int main(int argc, char** argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        usage();
        return 2;
    }
    auto it = zephtool::verbs().find(argv[1]);
    if (it == zephtool::verbs().end()) {
        usage();
        return 2;
    }
    try {
        return it->second.fn(std::vector<std::string>(argv + 2, argv + argc));
    } catch (const std::exception& e) {
        return zephtool::fail(e.what());
    }
}
