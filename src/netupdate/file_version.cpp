#include "netupdate/file_version.h"

#include "platform/folders.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace zeph::nu {

namespace {

constexpr size_t kMaxScan = size_t(64) << 20;

uint32_t le32(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

}  // namespace

FileVersion GetFileVersion(const std::string& path)
{
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    if (!f) return {};
    auto size = f.tellg();
    if (size <= 0) return {};
    f.seekg(0);
    std::vector<unsigned char> data(std::min(size_t(size), kMaxScan));
    f.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()));
    data.resize(size_t(f.gcount()));
    bool pe = data.size() >= 2 && data[0] == 'M' && data[1] == 'Z';
    bool elf = data.size() >= 4 && std::memcmp(data.data(), "\x7f" "ELF", 4) == 0;
    if (!pe && !elf) return {};
    // The record is 4-byte aligned in both forms: signature, structure version 1.0, then the
    // file version's two words.
    for (size_t i = 0; i + 16 <= data.size(); i += 4) {
        if (le32(&data[i]) != 0xFEEF04BDu || le32(&data[i + 4]) != 0x00010000u) continue;
        return {int32_t(le32(&data[i + 8])), int32_t(le32(&data[i + 12]))};
    }
    return {};
}

std::string VersionString(const FileVersion& v)
{
    uint32_t ms = uint32_t(v.ms), ls = uint32_t(v.ls);
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
           std::to_string(ls & 0xFFFF);
}

std::string ProgramVersionText()
{
    FileVersion v = GetFileVersion(folders::programPath());
    return v.valid() ? VersionString(v) : "";
}

}  // namespace zeph::nu
