// The ini-style view of a registry key: a section is a subkey, every value a REG_SZ string.
// Integers are decimal, booleans "0"/"1". A missing or unparsable value, or one of another
// type, reads as the default; a missing subkey reads as all defaults; writing creates it.
#pragma once

#include "platform/registry.h"

#include <string>
#include <vector>

namespace zeph {

class RegIniFile {
public:
    // base: e.g. "Software\\Varnholt\\Zephlon8" under HKEY_CURRENT_USER.
    explicit RegIniFile(std::string base, reg::Root root = reg::Root::CurrentUser);

    std::string readString(const std::string& section, const std::string& ident,
                           const std::string& def) const;
    int32_t readInteger(const std::string& section, const std::string& ident, int32_t def) const;
    bool readBool(const std::string& section, const std::string& ident, bool def) const;

    void writeString(const std::string& section, const std::string& ident, const std::string& value) const;
    void writeInteger(const std::string& section, const std::string& ident, int32_t value) const;
    void writeBool(const std::string& section, const std::string& ident, bool value) const;

    std::vector<std::string> readSections() const;                        // subkey names
    std::vector<std::string> readSection(const std::string& section) const;  // value names
    bool sectionExists(const std::string& section) const;
    bool valueExists(const std::string& section, const std::string& ident) const;
    void eraseSection(const std::string& section) const;  // the subkey with its subtree
    void deleteKey(const std::string& section, const std::string& ident) const;

    const std::string& base() const { return base_; }

private:
    std::string sectionPath(const std::string& section) const;
    std::string base_;
    reg::Root root_;
};

// Decimal 32-bit integer as the view reads it (blanks and sign allowed); nullopt when unparsable.
std::optional<int32_t> parseDecimalInt(const std::string& text);

}  // namespace zeph
