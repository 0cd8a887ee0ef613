#include "netupdate/lz_expand.h"

#include "platform/files.h"

#include <mspack.h>

#include <sys/stat.h>

#include <cctype>

namespace zeph::nu {

std::string LzExpandedName(const std::string& compressedName, char missingChar)
{
    const unsigned char c = static_cast<unsigned char>(missingChar);
    // Only a character that can stand in a file name is taken; anything else keeps the name.
    if (compressedName.empty() || compressedName.back() != '_' || c <= ' ' || c >= 0x7F || c == '/' ||
        c == '\\' || c == ':')
        return compressedName;
    std::string name = compressedName;
    char replacement = missingChar;
    if (name.size() >= 2) {
        unsigned char before = static_cast<unsigned char>(name[name.size() - 2]);
        if (std::isupper(before)) replacement = char(std::toupper(c));
        else if (std::islower(before)) replacement = char(std::tolower(c));
    }
    name.back() = replacement;
    return name;
}

void ExpandLzFile(const std::string& path)
{
    const std::string compressed = fs::toNative(path);
    msszdd_decompressor* d = mspack_create_szdd_decompressor(nullptr);
    if (!d) return;
    msszddd_header* header = d->open(d, const_cast<char*>(compressed.c_str()));
    if (!header) {
        mspack_destroy_szdd_decompressor(d);
        return;  // not an SZDD file: left as it is
    }
    const char missing = header->missing_char;
    const off_t length = header->length;
    d->close(d, header);

    const std::string folder = fs::folderOf(compressed);
    const std::string expanded = folder + LzExpandedName(fs::fileName(compressed), missing);
    // Expanded beside it first: the expanded name may be the compressed file's own name.
    std::string temp = fs::makeTempFile(folder.empty() ? "." : folder, ".lz-");
    bool ok = !temp.empty() &&
              d->decompress(d, const_cast<char*>(compressed.c_str()), const_cast<char*>(temp.c_str())) ==
                  MSPACK_ERR_OK;
    mspack_destroy_szdd_decompressor(d);
    // Data cut short decodes without an error; the stored length tells.
    if (ok) ok = fs::fileSize(temp) == std::optional<uint64_t>(uint64_t(length));

    // The expanded file keeps the compressed file's permissions (an executable stays one).
    struct stat st {};
    if (ok && stat(compressed.c_str(), &st) == 0) chmod(temp.c_str(), st.st_mode & 07777);
    fs::removeFile(compressed);
    if (temp.empty()) return;
    if (!ok || fs::isDirectory(expanded) || !fs::moveFile(temp, expanded, true)) fs::removeFile(temp);
}

}  // namespace zeph::nu
