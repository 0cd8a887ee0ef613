#include "platform/textcodec.h"

#include <clocale>
#include <cwctype>
#include <iconv.h>
#include <locale.h>

namespace zeph::text {

namespace {

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i, or -1 when invalid.
long decode(const std::string& s, size_t& i)
{
    unsigned char c = s[i];
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (!len || i + len > s.size()) return -1;
    long cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) {
        unsigned char cc = s[i + k];
        if ((cc >> 6) != 2) return -1;
        cp = (cp << 6) | (cc & 0x3F);
    }
    static const long minFor[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minFor[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    i += len;
    return cp;
}

void encode(long cp, std::string& out)
{
    if (cp < 0x80) out += char(cp);
    else if (cp < 0x800) { out += char(0xC0 | (cp >> 6)); out += char(0x80 | (cp & 0x3F)); }
    else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12)); out += char(0x80 | ((cp >> 6) & 0x3F)); out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18)); out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F)); out += char(0x80 | (cp & 0x3F));
    }
}

locale_t utf8Locale()
{
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
        if (!l) l = newlocale(LC_CTYPE_MASK, "C.utf8", (locale_t)0);
        return l;
    }();
    return loc;
}

template <typename Map>
std::string mapCase(const std::string& s, Map map)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        size_t start = i;
        long cp = decode(s, i);
        if (cp < 0) {  // not UTF-8: keep the byte as it is
            out += s[start];
            i = start + 1;
            continue;
        }
        encode(map(cp), out);
    }
    return out;
}

std::string convert(const char* to, const char* from, const std::string& in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) return in;
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        if (r == (size_t)-1) {
            // A byte or character without a counterpart: substitute and go on.
            if (dstLeft == 0) break;
            *dst++ = '?';
            --dstLeft;
            size_t skip = 1;
            if (std::string(from) == "UTF-8") {
                size_t i = src - in.data();
                size_t j = i;
                if (decode(in, j) >= 0) skip = j - i;
            }
            src += skip;
            srcLeft -= std::min(skip, srcLeft);
        }
    }
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

}  // namespace

bool isValidUtf8(const std::string& s)
{
    for (size_t i = 0; i < s.size();)
        if (decode(s, i) < 0) return false;
    return true;
}

std::string cp1250ToUtf8(const std::string& bytes) { return convert("UTF-8", "CP1250", bytes); }
std::string utf8ToCp1250(const std::string& utf8) { return convert("CP1250", "UTF-8", utf8); }
std::string fromAnsi(const std::string& bytes) { return isValidUtf8(bytes) ? bytes : cp1250ToUtf8(bytes); }

std::string toUpper(const std::string& s)
{
    locale_t loc = utf8Locale();
    return mapCase(s, [loc](long cp) -> long {
        if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
        return loc ? (long)towupper_l((wint_t)cp, loc) : cp;
    });
}

std::string toLower(const std::string& s)
{
    locale_t loc = utf8Locale();
    return mapCase(s, [loc](long cp) -> long {
        if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
        return loc ? (long)towlower_l((wint_t)cp, loc) : cp;
    });
}

bool equalsNoCase(const std::string& a, const std::string& b) { return toUpper(a) == toUpper(b); }

size_t lengthChars(const std::string& s)
{
    size_t n = 0;
    for (size_t i = 0; i < s.size();) {
        size_t start = i;
        if (decode(s, i) < 0) i = start + 1;
        ++n;
    }
    return n;
}

std::string truncateChars(const std::string& s, size_t maxChars)
{
    size_t n = 0, i = 0;
    while (i < s.size() && n < maxChars) {
        size_t start = i;
        if (decode(s, i) < 0) i = start + 1;
        ++n;
    }
    return s.substr(0, i);
}

std::string trim(const std::string& s)
{
    const char* ws = " \t\r\n";
    size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

}  // namespace zeph::text
