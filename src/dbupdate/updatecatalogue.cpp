#include "dbupdate/updatecatalogue.h"

#include "dbupdate/folderlist.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/textcodec.h"

#include <cctype>
#include <map>

namespace zeph::dbu {

namespace {

// The keys of the first section of the wanted name (names upper-cased), read by the
// catalogue's own rules; within it the first value of a repeated key wins.
std::map<std::string, std::string> readSection(const std::string& text, const std::string& wanted, bool& found)
{
    std::map<std::string, std::string> keys;
    found = false;
    bool inWanted = false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text::trim(text.substr(pos, end - pos));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            inWanted = !found && UpperAscii(text::trim(line.substr(1, line.size() - 2))) == wanted;
            found = found || inWanted;
            continue;
        }
        size_t eq = line.find('=');
        if (!inWanted || eq == std::string::npos) continue;
        std::string key = UpperAscii(text::trim(line.substr(0, eq)));
        keys.emplace(key, text::trim(line.substr(eq + 1)));
    }
    return keys;
}

}  // namespace

void ResetDateArray(DateArray& table)
{
    for (auto& row : table)
        for (auto& cell : row) cell = TDateArrayRec{};
}

int32_t CatalogueNumber(const std::string& raw)
{
    std::string v = text::trim(raw);
    size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
    int base = 10;
    if (i < v.size() && v[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < v.size() && v[i] == '0' && (v[i + 1] == 'x' || v[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= v.size()) return 0;
    uint64_t value = 0;
    for (; i < v.size(); ++i) {
        int d;
        unsigned char c = static_cast<unsigned char>(v[i]);
        if (std::isdigit(c)) d = c - '0';
        else if (base == 16 && std::isxdigit(c)) d = std::toupper(c) - 'A' + 10;
        else return 0;
        value = value * uint64_t(base) + uint64_t(d);
        if (value > 0xFFFFFFFFull) return 0;
    }
    if (base == 10) {
        // Decimal must fit a signed 32-bit number.
        if (negative ? value > 0x80000000ull : value > 0x7FFFFFFFull) return 0;
        return negative ? int32_t(-int64_t(value)) : int32_t(value);
    }
    // Hexadecimal spells the 32 bits themselves, so "$FFFFFFFF" is -1.
    int32_t bits = int32_t(uint32_t(value));
    return negative ? int32_t(-int64_t(bits)) : bits;
}

void ReadUpdateDates(const std::string& catalogueText, DateArray& table)
{
    bool found = false;
    std::map<std::string, std::string> keys = readSection(text::fromAnsi(catalogueText), "UDATES", found);
    if (!found) return;
    auto get = [&](const std::string& k) -> std::string {
        auto it = keys.find(k);
        return it == keys.end() ? std::string() : it->second;
    };
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 4; ++c) {
            std::string cell{kRowLetters[r], kColumnLetters[c]};
            TDateArrayRec& rec = table[r][c];
            rec.Date = double(CatalogueNumber(get(cell)));
            rec.FileName = get(cell + "F");
            rec.Size = CatalogueNumber(get(cell + "S"));
        }
    }
}

int EditionColumn(const std::string& name)
{
    std::string first = name.substr(0, 3);
    if (first.empty()) return -1;
    if (first == "BAS") return 0;
    if (first == "STA") return 1;
    if (first == "PRO") return 3;
    return 2;
}

void WriteDownloadJob(const PendingList& pending, const std::string& downloadFolder, const std::string& jobFile)
{
    if (pending.empty()) return;
    fs::removeFile(jobFile);  // an earlier job is replaced, never extended
    std::string dest = fs::withTrailingSlash(fs::toNative(downloadFolder));
    for (size_t i = 0; i < pending.size(); ++i) {
        std::string section = "Up_" + std::to_string(i);
        ini::writeString(jobFile, section, "Capt", pending[i].name);
        ini::writeString(jobFile, section, "Dest", dest);
        ini::writeString(jobFile, section, "Size", std::to_string(int32_t(uint32_t(uint64_t(pending[i].size)))));
    }
}

}  // namespace zeph::dbu
