#include "netupdate/control_values.h"

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/textcodec.h"

#include <cctype>
#include <climits>
#include <unistd.h>

namespace zeph::nu {

namespace {

// Decimal with optional leading blanks and sign, converting completely.
std::optional<int64_t> decimal(const std::string& s)
{
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    if (i >= s.size()) return std::nullopt;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (!isdigit((unsigned char)s[i])) return std::nullopt;
        v = v * 10 + (s[i] - '0');
        if (v > int64_t(INT32_MAX) + 1) return std::nullopt;
    }
    v = neg ? -v : v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return v;
}

int64_t leadingDigits(const std::string& s)
{
    int64_t v = 0;
    for (char c : s) {
        if (!isdigit((unsigned char)c)) break;
        v = (v * 10 + (c - '0')) & 0xFFFFFFF;
    }
    return v;
}

}  // namespace

int32_t ReadControlInteger(const std::string& value, int32_t def)
{
    std::string s = value;
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    std::string rest = s.substr(i);
    size_t prefix = 0;
    if (rest.rfind("0x", 0) == 0 || rest.rfind("0X", 0) == 0) prefix = 2;
    else if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) prefix = 1;
    if (prefix) {
        std::string hex = rest.substr(prefix);
        if (hex.empty() || hex.size() > 8) return def;
        uint32_t v = 0;
        for (char c : hex) {
            if (!isxdigit((unsigned char)c)) return def;
            v = v * 16 + uint32_t(isdigit((unsigned char)c) ? c - '0' : (tolower(c) - 'a' + 10));
        }
        return int32_t(v);
    }
    auto d = decimal(s);
    return d ? int32_t(*d) : def;
}

bool ReadControlFlag(const std::string& value) { return ReadControlInteger(value, 0) == 1; }

std::string UnescapeLineBreaks(const std::string& text)
{
    std::string out = text;
    for (size_t p; (p = out.find("\\n")) != std::string::npos;) out.replace(p, 2, "\r");
    return out;
}

ParsedVersion ParseVersion(const std::string& text)
{
    ParsedVersion v;
    char sep = text.find(',') != std::string::npos ? ',' : text.find('.') != std::string::npos ? '.' : 0;
    if (!sep) {
        auto n = decimal(text);
        if (n) {
            v.high = int32_t(uint32_t(*n & 0xFFFF) << 16);
            v.low = 0;
        }
        return v;
    }
    int64_t part[4] = {0, 0, 0, 0};
    bool lowValid = true;
    std::string rest = text;
    for (int k = 0; k < 4; ++k) {
        std::string comp;
        bool more = false;
        if (k < 3) {
            size_t at = rest.find(sep);
            comp = rest.substr(0, at);
            more = at != std::string::npos;
            rest = more ? rest.substr(at + 1) : std::string();
        } else {
            comp = rest;
        }
        auto n = decimal(comp);
        if (n) {
            part[k] = *n & 0xFFFF;
        } else if (k == 3) {
            lowValid = false;
        } else {
            part[k] = leadingDigits(comp) & 0xFFFF;
            if (k < 2) {
                // A bad major or minor ends the cutting: the rest, by its leading digits, is the next one.
                part[k + 1] = leadingDigits(rest) & 0xFFFF;
                break;
            }
        }
        if (!more && k < 3) break;
    }
    v.high = int32_t(uint32_t(part[0]) << 16 | uint32_t(part[1]));
    v.low = lowValid ? int32_t(uint32_t(part[2]) << 16 | uint32_t(part[3])) : -1;
    return v;
}

std::string VersionText(const ParsedVersion& v)
{
    uint32_t h = uint32_t(v.high), l = uint32_t(v.low);
    return std::to_string(h >> 16) + "." + std::to_string(h & 0xFFFF) + "." + std::to_string(l >> 16) + "." +
           std::to_string(l & 0xFFFF);
}

std::string NormaliseMacroDirectory(const std::string& dir)
{
    std::string d = fs::toNative(dir);
    if (d.empty()) return ".";
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    return d == "/" ? "/." : d;
}

std::string ConvertPrefix(const std::string& name)
{
    std::string dir;
    if (name == "WIN") dir = "/etc";
    else if (name == "SYS") dir = "/usr/bin";
    else if (name == "APP") {
        char buf[4096];
        dir = getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
    } else if (name == "TMP") dir = folders::temp();
    else if (name == "DOC") dir = folders::documents();
    else if (name == "PF") {
        try {
            auto key = reg::Key::open(reg::Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion");
            if (!key) return "";
            dir = key->getText("ProgramFilesDir").value_or("");
        } catch (const reg::Error&) {
            return "";
        }
    } else {
        return "";
    }
    return NormaliseMacroDirectory(dir);
}

std::string ExpandPrefixes(const std::string& input, const std::function<void(std::string&)>& onConvertPrefix,
                           const std::function<std::string(const std::string&)>& convert)
{
    std::string text = input;
    if (onConvertPrefix) onConvertPrefix(text);
    int replacements = 0;
    size_t open = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && open == std::string::npos) {
            open = i;
        } else if (text[i] == '}' && open != std::string::npos) {
            std::string name = text::toUpper(text.substr(open + 1, i - open - 1));
            std::string dir = replacements < 32 ? convert(name) : std::string();
            if (!dir.empty()) {
                text.replace(open, i - open + 1, dir);
                ++replacements;
                i = open - 1;  // scan the inserted text from its first character
                if (open == 0) i = size_t(-1);
            }
            open = std::string::npos;
        }
    }
    return text;
}

dt::DateTime ParseControlDateTime(const std::string& date, const std::string& time, const std::string& dateFormat,
                                  char dateSeparator, const std::string& timeFormat, char timeSeparator)
{
    dt::DateTime result{1980, 1, 1, 0, 0, 0, 0};
    std::string pattern;
    for (char c : text::toLower(dateFormat)) {
        if (c == 'd' || c == 'y') pattern += c;
        else if (c == 'm') pattern += 'M';
        else pattern += dateSeparator;
    }
    std::string d = date;
    for (auto& c : d)
        if (c == dateSeparator) c = '/';
    for (auto& c : pattern)
        if (c == dateSeparator) c = '/';
    auto parsed = dt::parseDate(text::trim(d), pattern);
    if (!parsed) return result;
    result = {parsed->year, parsed->month, parsed->day, 0, 0, 0, 0};
    (void)timeFormat;  // hours, minutes and seconds come in that order in every time format we take
    if (time.empty()) return result;
    int parts[3] = {0, 0, 0}, count = 0;
    std::string cur;
    std::string t = text::trim(time) + timeSeparator;
    for (char c : t) {
        if (c == timeSeparator) {
            if (cur.empty() || count >= 3 || cur.size() > 2) return result;
            parts[count++] = std::stoi(cur);
            cur.clear();
        } else if (isdigit((unsigned char)c)) {
            cur += c;
        } else {
            return result;
        }
    }
    if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return result;
    result.hour = parts[0];
    result.minute = parts[1];
    result.second = parts[2];
    return result;
}

}  // namespace zeph::nu
