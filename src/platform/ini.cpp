#include "platform/ini.h"

#include "platform/files.h"
#include "platform/textcodec.h"

#include <functional>

namespace zeph::ini {

namespace {

std::vector<std::string> splitLines(const std::string& s)
{
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

// "[name]" -> name; nullopt for other lines.
std::optional<std::string> sectionName(const std::string& line)
{
    std::string t = text::trim(line);
    if (t.empty() || t[0] != '[') return std::nullopt;
    size_t close = t.find(']');
    return text::trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// "key=value" -> key; nullopt for other lines.
std::optional<std::string> keyName(const std::string& line)
{
    std::string t = text::trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[') return std::nullopt;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return text::trim(t.substr(0, eq));
}

std::string cleanValue(const std::string& raw)
{
    std::string v = text::trim(raw);
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    return text::truncateChars(v, kMaxValueChars);
}

}  // namespace

Document Document::parse(const std::string& bytes)
{
    Document doc;
    std::string content = text::fromAnsi(bytes);
    if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);
    Section* current = nullptr;
    for (auto& line : splitLines(content)) {
        if (auto name = sectionName(line)) {
            doc.sections_.push_back({*name, {}});
            current = &doc.sections_.back();
            continue;
        }
        auto key = keyName(line);
        if (!key || !current) continue;
        std::string t = text::trim(line);
        current->entries.push_back({*key, cleanValue(t.substr(t.find('=') + 1))});
    }
    return doc;
}

Document Document::load(const std::string& path)
{
    std::string bytes;
    if (!fs::readFile(path, bytes)) return Document();
    return parse(bytes);
}

std::optional<std::string> Document::get(const std::string& section, const std::string& key) const
{
    // Only the first section of the name counts; a key missing there is missing.
    for (auto& s : sections_) {
        if (!text::equalsNoCase(s.name, section)) continue;
        for (auto& e : s.entries)
            if (text::equalsNoCase(e.key, key)) return e.value;
        return std::nullopt;
    }
    return std::nullopt;
}

std::string Document::get(const std::string& section, const std::string& key, const std::string& def) const
{
    auto v = get(section, key);
    return v ? *v : text::truncateChars(def, kMaxValueChars);
}

std::vector<std::string> Document::sections() const
{
    std::vector<std::string> out;
    for (auto& s : sections_) {
        bool seen = false;
        for (auto& o : out) seen = seen || text::equalsNoCase(o, s.name);
        if (!seen) out.push_back(s.name);
    }
    return out;
}

std::vector<std::string> Document::keys(const std::string& section) const
{
    std::vector<std::string> out;
    for (auto& s : sections_) {
        if (!text::equalsNoCase(s.name, section)) continue;
        for (auto& e : s.entries) out.push_back(e.key);
        break;
    }
    return out;
}

bool Document::hasSection(const std::string& section) const
{
    for (auto& s : sections_)
        if (text::equalsNoCase(s.name, section)) return true;
    return false;
}

std::string readString(const std::string& path, const std::string& section, const std::string& key, const std::string& def)
{
    return Document::load(path).get(section, key, def);
}

namespace {

// Edits the raw lines of a file, keeping its encoding and line ends. edit returns false to
// leave the file unwritten.
template <typename Edit>
bool editFile(const std::string& path, Edit edit)
{
    std::string bytes;
    fs::readFile(path, bytes);
    bool ansi = !text::isValidUtf8(bytes);
    std::string eol = bytes.find("\r\n") != std::string::npos || bytes.find('\n') == std::string::npos ? "\r\n" : "\n";
    std::vector<std::string> lines = splitLines(bytes);
    auto decode = [&](const std::string& l) { return ansi ? text::cp1250ToUtf8(l) : l; };
    auto encode = [&](const std::string& l) { return ansi ? text::utf8ToCp1250(l) : l; };
    if (!edit(lines, decode, encode)) return true;
    std::string out;
    for (auto& l : lines) out += l + eol;
    return fs::writeFile(path, out);
}

// Index of the first line of the first matching section's header, or -1; end is one past its last line.
long findSection(const std::vector<std::string>& lines, const std::string& section,
                 const std::function<std::string(const std::string&)>& decode, size_t& end)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = sectionName(decode(lines[i]));
        if (!name || !text::equalsNoCase(*name, section)) continue;
        end = i + 1;
        while (end < lines.size() && !sectionName(decode(lines[end]))) ++end;
        return long(i);
    }
    return -1;
}

}  // namespace

bool writeString(const std::string& path, const std::string& section, const std::string& key, const std::string& value)
{
    return editFile(path, [&](std::vector<std::string>& lines, auto decode, auto encode) {
        std::string line = encode(key + "=" + value);
        size_t end = 0;
        long head = findSection(lines, section, decode, end);
        if (head < 0) {
            lines.push_back(encode("[" + section + "]"));
            lines.push_back(line);
            return true;
        }
        for (size_t i = head + 1; i < end; ++i) {
            auto k = keyName(decode(lines[i]));
            if (k && text::equalsNoCase(*k, key)) {
                lines[i] = line;
                return true;
            }
        }
        size_t at = end;
        while (at > size_t(head) + 1 && text::trim(decode(lines[at - 1])).empty()) --at;
        lines.insert(lines.begin() + at, line);
        return true;
    });
}

bool removeKey(const std::string& path, const std::string& section, const std::string& key)
{
    if (key.empty()) return removeSection(path, section);
    if (!fs::exists(path)) return true;
    return editFile(path, [&](std::vector<std::string>& lines, auto decode, auto) {
        size_t end = 0;
        long head = findSection(lines, section, decode, end);
        if (head < 0) return false;
        for (size_t i = head + 1; i < end; ++i) {
            auto k = keyName(decode(lines[i]));
            if (k && text::equalsNoCase(*k, key)) {
                lines.erase(lines.begin() + i);
                return true;
            }
        }
        return false;
    });
}

bool removeSection(const std::string& path, const std::string& section)
{
    if (!fs::exists(path)) return true;
    return editFile(path, [&](std::vector<std::string>& lines, auto decode, auto) {
        size_t end = 0;
        long head = findSection(lines, section, decode, end);
        if (head < 0) return false;
        lines.erase(lines.begin() + head, lines.begin() + end);
        return true;
    });
}

}  // namespace zeph::ini
