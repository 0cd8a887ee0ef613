// zephtool verbs: each verb file registers itself with a static ZephtoolVerb object.
// Exit codes: 0 success, 1 a negative answer (missing, false, not verified), 2 usage or error.
#pragma once

#include <string>
#include <vector>

namespace zephtool {

using VerbFn = int (*)(const std::vector<std::string>& args);  // args after the verb

struct ZephtoolVerb {
    ZephtoolVerb(const char* name, const char* usage, VerbFn fn);
};

// Prints "zephtool: <message>" on stderr and returns 2.
int fail(const std::string& message);

}  // namespace zephtool
