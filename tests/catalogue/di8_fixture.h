// Descriptor databases written by make-di8 for the catalogue's tests.
#pragma once

#include "support/test_env.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zeph::test {

// Writes path with make-di8 and the given arguments (columns default to a readable 8.0 database).
inline std::string makeDi8(const std::string& path, const std::vector<std::string>& args = {})
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<std::string> argv = {binDir() + "/make-di8", path};
    argv.insert(argv.end(), args.begin(), args.end());
    auto r = run(argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

}  // namespace zeph::test
