#include "platform/regini.h"

#include "platform/textcodec.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace zeph {

std::optional<int32_t> parseDecimalInt(const std::string& text)
{
    std::string t = text::trim(text);
    if (t.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(t.c_str(), &end, 10);
    if (errno || *end || v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return int32_t(v);
}

RegIniFile::RegIniFile(std::string base, reg::Root root) : base_(std::move(base)), root_(root) {}

std::string RegIniFile::sectionPath(const std::string& section) const
{
    std::string b = base_;
    while (!b.empty() && b.back() == '\\') b.pop_back();
    return section.empty() ? b : b + "\\" + section;
}

std::string RegIniFile::readString(const std::string& section, const std::string& ident, const std::string& def) const
{
    auto key = reg::Key::open(root_, sectionPath(section));
    if (!key) return def;
    auto v = key->getText(ident);
    return v ? *v : def;
}

int32_t RegIniFile::readInteger(const std::string& section, const std::string& ident, int32_t def) const
{
    auto key = reg::Key::open(root_, sectionPath(section));
    if (!key) return def;
    auto v = key->getText(ident);
    if (!v) return def;
    return parseDecimalInt(*v).value_or(def);
}

bool RegIniFile::readBool(const std::string& section, const std::string& ident, bool def) const
{
    return readInteger(section, ident, def ? 1 : 0) != 0;
}

void RegIniFile::writeString(const std::string& section, const std::string& ident, const std::string& value) const
{
    reg::Key::open(root_, sectionPath(section), true)->setText(ident, value);
}

void RegIniFile::writeInteger(const std::string& section, const std::string& ident, int32_t value) const
{
    writeString(section, ident, std::to_string(value));
}

void RegIniFile::writeBool(const std::string& section, const std::string& ident, bool value) const
{
    writeString(section, ident, value ? "1" : "0");
}

std::vector<std::string> RegIniFile::readSections() const
{
    auto key = reg::Key::open(root_, sectionPath(""));
    return key ? key->subkeys() : std::vector<std::string>{};
}

std::vector<std::string> RegIniFile::readSection(const std::string& section) const
{
    std::vector<std::string> names;
    if (auto key = reg::Key::open(root_, sectionPath(section)))
        for (auto& v : key->values()) names.push_back(v.name);
    return names;
}

bool RegIniFile::sectionExists(const std::string& section) const { return reg::Key::exists(root_, sectionPath(section)); }

bool RegIniFile::valueExists(const std::string& section, const std::string& ident) const
{
    auto key = reg::Key::open(root_, sectionPath(section));
    return key && key->hasValue(ident);
}

void RegIniFile::eraseSection(const std::string& section) const { reg::Key::remove(root_, sectionPath(section)); }

void RegIniFile::deleteKey(const std::string& section, const std::string& ident) const
{
    if (auto key = reg::Key::open(root_, sectionPath(section))) key->removeValue(ident);
}

}  // namespace zeph
