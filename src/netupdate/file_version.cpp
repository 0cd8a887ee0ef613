#include "netupdate/file_version.h"

#include "platform/files.h"
#include "platform/folders.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

namespace zeph::nu {

namespace {

constexpr uint32_t kSignature = 0xFEEF04BDu;

// Bounded random access to the file: every read outside it fails instead of guessing.
class Reader {
public:
    explicit Reader(const std::string& path) : f_(path, std::ios::binary | std::ios::ate)
    {
        if (f_) size_ = uint64_t(std::max<std::streamoff>(0, f_.tellg()));
    }
    uint64_t size() const { return size_; }
    bool read(uint64_t at, void* out, size_t n)
    {
        if (!f_ || at > size_ || n > size_ - at) return false;
        f_.clear();
        f_.seekg(std::streamoff(at));
        return bool(f_.read(static_cast<char*>(out), std::streamsize(n)));
    }
    std::optional<uint32_t> u32(uint64_t at, bool bigEndian = false)
    {
        unsigned char b[4];
        if (!read(at, b, 4)) return std::nullopt;
        return bigEndian ? uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]
                         : uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
    }
    std::optional<uint16_t> u16(uint64_t at, bool bigEndian = false)
    {
        unsigned char b[2];
        if (!read(at, b, 2)) return std::nullopt;
        return uint16_t(bigEndian ? b[0] << 8 | b[1] : b[1] << 8 | b[0]);
    }
    std::optional<uint64_t> u64(uint64_t at, bool bigEndian)
    {
        auto a = u32(at, bigEndian), b = u32(at + 4, bigEndian);
        if (!a || !b) return std::nullopt;
        return bigEndian ? uint64_t(*a) << 32 | *b : uint64_t(*b) << 32 | *a;
    }

private:
    std::ifstream f_;
    uint64_t size_ = 0;
};

// The fixed record at a file offset: signature, structure version, then the two words.
FileVersion fixedRecord(Reader& r, uint64_t at, bool bigEndian = false)
{
    auto sig = r.u32(at, bigEndian), ms = r.u32(at + 8, bigEndian), ls = r.u32(at + 12, bigEndian);
    if (!sig || *sig != kSignature || !ms || !ls) return {};
    return {int32_t(*ms), int32_t(*ls)};
}

// PE: the resource directory's RT_VERSION entry, first name, first language, whose data is a
// VS_VERSIONINFO block: three words, the key "VS_VERSION_INFO" in UTF-16, padding to 4 bytes,
// then the fixed record.
FileVersion peVersion(Reader& r)
{
    auto peAt = r.u32(0x3C);
    if (!peAt) return {};
    unsigned char sig[4];
    if (!r.read(*peAt, sig, 4) || std::memcmp(sig, "PE\0\0", 4) != 0) return {};
    uint64_t coff = *peAt + 4;
    auto sections = r.u16(coff + 2), optSize = r.u16(coff + 16);
    uint64_t opt = coff + 20;
    auto magic = r.u16(opt);
    if (!sections || !optSize || !magic) return {};
    uint64_t dirs;
    if (*magic == 0x10B) dirs = opt + 96;
    else if (*magic == 0x20B) dirs = opt + 112;
    else return {};
    auto dirCount = r.u32(dirs - 4);
    if (!dirCount || *dirCount < 3 || dirs + 24 > opt + *optSize) return {};
    auto resRva = r.u32(dirs + 16);
    if (!resRva || *resRva == 0) return {};

    uint64_t table = opt + *optSize;
    auto toOffset = [&](uint32_t rva) -> std::optional<uint64_t> {
        for (uint16_t i = 0; i < *sections; ++i) {
            uint64_t s = table + uint64_t(i) * 40;
            auto vsize = r.u32(s + 8), va = r.u32(s + 12), rawSize = r.u32(s + 16), raw = r.u32(s + 20);
            if (!vsize || !va || !rawSize || !raw) return std::nullopt;
            uint32_t span = std::max(*vsize, *rawSize);
            if (rva >= *va && rva - *va < span) return uint64_t(*raw) + (rva - *va);
        }
        return std::nullopt;
    };
    auto resBase = toOffset(*resRva);
    if (!resBase) return {};

    // An entry of a resource directory: by id, or (id < 0) the first one.
    auto entry = [&](uint64_t dir, int id) -> std::optional<uint32_t> {
        auto named = r.u16(dir + 12), ids = r.u16(dir + 14);
        if (!named || !ids) return std::nullopt;
        uint32_t n = uint32_t(*named) + *ids;
        for (uint32_t i = 0; i < n; ++i) {
            auto name = r.u32(dir + 16 + uint64_t(i) * 8), off = r.u32(dir + 20 + uint64_t(i) * 8);
            if (!name || !off) return std::nullopt;
            if (id < 0 || (!(*name & 0x80000000u) && *name == uint32_t(id))) return *off;
        }
        return std::nullopt;
    };
    auto types = entry(*resBase, 16);  // RT_VERSION
    if (!types || !(*types & 0x80000000u)) return {};
    auto names = entry(*resBase + (*types & 0x7FFFFFFFu), -1);
    if (!names || !(*names & 0x80000000u)) return {};
    auto langs = entry(*resBase + (*names & 0x7FFFFFFFu), -1);
    if (!langs || (*langs & 0x80000000u)) return {};
    auto dataRva = r.u32(*resBase + *langs);
    if (!dataRva) return {};
    auto info = toOffset(*dataRva);
    if (!info) return {};
    static const char kKey[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0";
    char key[sizeof kKey - 1];
    if (!r.read(*info + 6, key, sizeof key) || std::memcmp(key, kKey, sizeof key) != 0) return {};
    return fixedRecord(r, *info + 40);
}

// ELF: the note named "ZEPH" of type 1 in any note section or note segment.
FileVersion elfVersion(Reader& r)
{
    unsigned char ident[16];
    if (!r.read(0, ident, 16)) return {};
    bool is64 = ident[4] == 2, be = ident[5] == 2;
    if ((ident[4] != 1 && ident[4] != 2) || (ident[5] != 1 && ident[5] != 2)) return {};
    auto word = [&](uint64_t at) { return is64 ? r.u64(at, be) : std::optional<uint64_t>(r.u32(at, be)); };

    auto scanNotes = [&](uint64_t at, uint64_t size) -> FileVersion {
        uint64_t end = at + size;
        while (at + 12 <= end) {
            auto namesz = r.u32(at, be), descsz = r.u32(at + 4, be), type = r.u32(at + 8, be);
            if (!namesz || !descsz || !type || *namesz > size || *descsz > size) return {};
            uint64_t name = at + 12, desc = name + ((uint64_t(*namesz) + 3) & ~3ull);
            char n[5];
            if (*namesz == 5 && *type == 1 && *descsz >= 16 && r.read(name, n, 5) && std::memcmp(n, "ZEPH", 5) == 0) {
                FileVersion v = fixedRecord(r, desc, be);
                if (v.valid()) return v;
            }
            at = desc + ((uint64_t(*descsz) + 3) & ~3ull);
        }
        return {};
    };

    // Sections first; a stripped file may keep only the note segments.
    auto shoff = word(is64 ? 0x28 : 0x20);
    auto shentsize = r.u16(is64 ? 0x3A : 0x2E, be), shnum = r.u16(is64 ? 0x3C : 0x30, be);
    if (shoff && shentsize && shnum && *shoff) {
        for (uint16_t i = 0; i < *shnum; ++i) {
            uint64_t s = *shoff + uint64_t(i) * *shentsize;
            auto type = r.u32(s + 4, be);
            auto off = word(s + (is64 ? 0x18 : 0x10)), size = word(s + (is64 ? 0x20 : 0x14));
            if (!type || !off || !size) break;
            if (*type != 7) continue;  // SHT_NOTE
            if (FileVersion v = scanNotes(*off, *size); v.valid()) return v;
        }
    }
    auto phoff = word(is64 ? 0x20 : 0x1C);
    auto phentsize = r.u16(is64 ? 0x36 : 0x2A, be), phnum = r.u16(is64 ? 0x38 : 0x2C, be);
    if (phoff && phentsize && phnum && *phoff) {
        for (uint16_t i = 0; i < *phnum; ++i) {
            uint64_t p = *phoff + uint64_t(i) * *phentsize;
            auto type = r.u32(p, be);
            auto off = word(p + (is64 ? 0x08 : 0x04)), size = word(p + (is64 ? 0x20 : 0x10));
            if (!type || !off || !size) break;
            if (*type != 4) continue;  // PT_NOTE
            if (FileVersion v = scanNotes(*off, *size); v.valid()) return v;
        }
    }
    return {};
}

}  // namespace

FileVersion GetFileVersion(const std::string& path)
{
    // Regular files only: opening a FIFO would wait for a writer.
    if (!fs::isFile(fs::toNative(path))) return {};
    Reader r(fs::toNative(path));
    unsigned char head[4];
    if (!r.read(0, head, 4)) return {};
    if (head[0] == 'M' && head[1] == 'Z') return peVersion(r);
    if (std::memcmp(head, "\x7f" "ELF", 4) == 0) return elfVersion(r);
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
