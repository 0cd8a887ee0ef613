// Files (not folders) directly in a folder, by a wildcard mask, as full paths in listing order.
#pragma once

#include "platform/files.h"

#include <string>
#include <vector>

namespace zeph::dbu {

inline std::vector<std::string> FilesIn(const std::string& folder, const std::string& mask)
{
    std::vector<std::string> out;
    std::string base = fs::withTrailingSlash(folder);
    for (const fs::DirEntry& e : fs::list(folder, mask))
        if (!e.directory) out.push_back(base + e.name);
    return out;
}

// Upper case of the letters a to z only, as the download folder's names are compared.
inline std::string UpperAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

}  // namespace zeph::dbu
