// The fixed file version record (signature 0xFEEF04BD) of a program file: the version resource
// of a Windows PE file, or the note that every executable of ours carries.
#pragma once

#include <cstdint>
#include <string>

namespace zeph::nu {

struct FileVersion {
    int32_t ms = -1;  // major << 16 | minor
    int32_t ls = -1;  // release << 16 | build
    bool valid() const { return !(ms == -1 && ls == -1); }
};

// -1, -1 for a file that is neither a PE nor an ELF file, or carries no record.
FileVersion GetFileVersion(const std::string& path);
// "a.b.c.d" of the running program, "" when it carries no record.
std::string ProgramVersionText();
std::string VersionString(const FileVersion& v);

}  // namespace zeph::nu
