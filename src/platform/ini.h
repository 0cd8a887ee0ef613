// INI files with the results of the Windows profile-file functions.
// Reading: "[section]" lines open a section, "key=value" lines give values; names compare
// without regard to case; the first matching section and the first matching key in it win;
// blanks around names and values are dropped; one pair of matching single or double quotes
// around a value is stripped; a value is cut to 2047 characters; lines starting with ";" are
// comments. Text is UTF-8 when valid, else code page 1250.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zeph::ini {

constexpr size_t kMaxValueChars = 2047;

// A parsed file, for reading many keys from one file at once.
class Document {
public:
    static Document load(const std::string& path);  // a missing or unreadable file is empty
    static Document parse(const std::string& bytes);

    std::optional<std::string> get(const std::string& section, const std::string& key) const;
    std::string get(const std::string& section, const std::string& key, const std::string& def) const;
    std::vector<std::string> sections() const;                       // in file order, first of each name
    std::vector<std::string> keys(const std::string& section) const;  // of the first matching section
    bool hasSection(const std::string& section) const;

    struct Entry { std::string key, value; };
    struct Section { std::string name; std::vector<Entry> entries; };
    const std::vector<Section>& all() const { return sections_; }

private:
    std::vector<Section> sections_;
};

// GetPrivateProfileString: one key from a file.
std::string readString(const std::string& path, const std::string& section, const std::string& key,
                       const std::string& def);

// WritePrivateProfileString: creates the file and the section when missing, replaces an
// existing key in place, appends a new key at the end of its section, keeps every other line.
// Written atomically (temporary file + rename). Returns false when the file cannot be written.
bool writeString(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value);
// Removes a key, or (key empty) a whole section. False only on a write failure.
bool removeKey(const std::string& path, const std::string& section, const std::string& key);
bool removeSection(const std::string& path, const std::string& section);

}  // namespace zeph::ini
