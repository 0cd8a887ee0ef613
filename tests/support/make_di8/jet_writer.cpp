#include "make_di8/jet_writer.h"

#include "platform/datetime.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zeph::jet {

namespace {

constexpr size_t kPage = 4096;
constexpr size_t kRowCountOffset = 0x0c;

enum : uint8_t { tInt = 0x03, tLong = 0x04, tDouble = 0x07, tDateTime = 0x08, tText = 0x0a, tOle = 0x0b };
enum : uint8_t { fFixed = 0x01, fNullable = 0x02 };

// Page numbers of the file.
enum : uint32_t { pgHeader, pgMaps, pgCatalogDef, pgCatalogData, pgTableDef, pgTableData };

void put16(std::string& b, size_t at, uint32_t v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char((v >> 8) & 0xff);
}

void put32(std::string& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = char((v >> (8 * i)) & 0xff);
}

std::string le16(uint32_t v)
{
    std::string s(2, '\0');
    put16(s, 0, v);
    return s;
}

std::string le32(uint32_t v)
{
    std::string s(4, '\0');
    put32(s, 0, v);
    return s;
}

// UTF-8 to UCS-2 little endian, the text form of Jet 4.
std::string ucs2(const std::string& utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        auto c = uint8_t(utf8[i]);
        uint32_t cp;
        size_t n;
        if (c < 0x80) cp = c, n = 1;
        else if ((c & 0xe0) == 0xc0) cp = c & 0x1f, n = 2;
        else if ((c & 0xf0) == 0xe0) cp = c & 0x0f, n = 3;
        else throw WriteError("text is not UTF-8 of the Basic Multilingual Plane: " + utf8);
        if (i + n > utf8.size()) throw WriteError("text is not valid UTF-8: " + utf8);
        for (size_t k = 1; k < n; ++k) {
            auto cc = uint8_t(utf8[i + k]);
            if ((cc & 0xc0) != 0x80) throw WriteError("text is not valid UTF-8: " + utf8);
            cp = (cp << 6) | (cc & 0x3f);
        }
        out += le16(cp);
        i += n;
    }
    return out;
}

struct Field {
    std::string name;
    uint8_t type;
    std::optional<std::string> bytes;  // nullopt: NULL
};

bool isFixed(uint8_t type) { return type != tText && type != tOle; }

uint16_t fixedSize(uint8_t type)
{
    switch (type) {
    case tInt: return 2;
    case tLong: return 4;
    default: return 8;
    }
}

// A data page holding the rows, the first at the end of the page.
std::string dataPage(uint32_t owner, const std::vector<std::string>& rows)
{
    std::string page(kPage, '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    put32(page, 4, owner);
    put16(page, kRowCountOffset, uint32_t(rows.size()));
    size_t end = kPage, table = kRowCountOffset + 2 + 2 * rows.size();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].size() > end - table) throw WriteError("the row does not fit in one page");
        end -= rows[i].size();
        page.replace(end, rows[i].size(), rows[i]);
        put16(page, kRowCountOffset + 2 + 2 * i, uint32_t(end));
    }
    put16(page, 2, uint32_t(end - table));
    return page;
}

// Definition page of a table without indexes; columns numbered in the order given.
std::string tableDefinition(const std::vector<Field>& fields, uint32_t rows, bool system, uint32_t usageMap, uint32_t freeMap)
{
    std::string def(63, '\0');
    def[0] = 0x02;
    def[1] = 0x01;
    uint16_t vars = 0, fixedOffset = 0;
    std::string entries, names;
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        std::string e(25, '\0');
        e[0] = char(f.type);
        put16(e, 5, uint32_t(i));
        put16(e, 9, uint32_t(i));
        if (isFixed(f.type)) {
            e[15] = char(fFixed | fNullable);
            put16(e, 21, fixedOffset);
            put16(e, 23, fixedSize(f.type));
            fixedOffset = uint16_t(fixedOffset + fixedSize(f.type));
        } else {
            e[15] = char(fNullable);
            put16(e, 7, vars++);
            if (f.type == tText) {
                put16(e, 11, 0x0409);  // general sort order
                put16(e, 23, 510);
            }
        }
        entries += e;
        std::string n = ucs2(f.name);
        names += le16(uint32_t(n.size())) + n;
    }
    def += entries + names + le16(0xffff);
    put32(def, 8, uint32_t(def.size() - 8));
    put32(def, 16, rows);
    def[40] = system ? 0x53 : 0x4e;
    put16(def, 41, uint32_t(fields.size()));
    put16(def, 43, vars);
    put16(def, 45, uint32_t(fields.size()));
    put32(def, 55, usageMap);
    put32(def, 59, freeMap);
    if (def.size() > kPage) throw WriteError("too many columns for one definition page");
    std::string page(kPage, '\0');
    page.replace(0, def.size(), def);
    put16(page, 2, uint32_t(kPage - def.size() - 8));
    return page;
}

// One row: column count, fixed part, variable part, end of data, variable offsets in reverse,
// their count and the mask of columns that are not NULL.
std::string packRow(const std::vector<Field>& fields)
{
    std::string row = le16(uint32_t(fields.size()));
    bool anyVar = false;
    for (auto& f : fields) {
        if (!isFixed(f.type)) {
            anyVar = true;
            continue;
        }
        row += f.bytes ? *f.bytes : std::string(fixedSize(f.type), '\0');
    }
    std::vector<uint16_t> offsets;
    for (auto& f : fields) {
        if (isFixed(f.type)) continue;
        offsets.push_back(uint16_t(row.size()));
        if (f.bytes) row += *f.bytes;
    }
    if (anyVar) {
        row += le16(uint32_t(row.size()));
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) row += le16(*it);
        row += le16(uint32_t(offsets.size()));
    }
    std::string mask((fields.size() + 7) / 8, '\0');
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].bytes) mask[i / 8] = char(mask[i / 8] | (1 << (i % 8)));
    return row + mask;
}

// A usage map of type 0 covering the pages from 0, with the given pages set.
std::string usageMap(std::initializer_list<uint32_t> pages)
{
    std::string map(64, '\0');
    for (uint32_t p : pages) map[5 + p / 8] = char(map[5 + p / 8] | (1 << (p % 8)));
    return map;
}

std::string doubleBytes(double d)
{
    std::string s(8, '\0');
    std::memcpy(s.data(), &d, 8);  // little-endian host
    return s;
}

std::string encode(const Column& c)
{
    const std::string& v = *c.value;
    switch (c.type) {
    case ColumnType::Text: {
        std::string u = ucs2(v);
        if (u.size() > 510) throw WriteError("text longer than 255 characters: " + c.name);
        return u;
    }
    case ColumnType::Long: {
        int64_t n = 0;
        auto r = std::from_chars(v.data(), v.data() + v.size(), n);
        if (r.ec != std::errc() || r.ptr != v.data() + v.size() || n < INT32_MIN || n > INT32_MAX)
            throw WriteError(c.name + ": not a 32-bit integer: " + v);
        return le32(uint32_t(int32_t(n)));
    }
    case ColumnType::Double: {
        double d = 0;
        auto r = std::from_chars(v.data(), v.data() + v.size(), d);
        if (r.ec != std::errc() || r.ptr != v.data() + v.size()) throw WriteError(c.name + ": not a number: " + v);
        return doubleBytes(d);
    }
    case ColumnType::Date: {
        dt::DateTime t;
        char tail = 0;
        int got = std::sscanf(v.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                              &t.second, &tail);
        if (got != 6 || !dt::isValidDate(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 || t.second > 59)
            throw WriteError(c.name + ": not a date YYYY-MM-DDTHH:MM:SS: " + v);
        return doubleBytes(dt::toSerial(t));
    }
    }
    return {};
}

uint8_t jetType(ColumnType t)
{
    switch (t) {
    case ColumnType::Text: return tText;
    case ColumnType::Long: return tLong;
    case ColumnType::Double: return tDouble;
    case ColumnType::Date: return tDateTime;
    }
    return tText;
}

// The first page: format version 4 and the scrambled block of settings (no database key, so
// the other pages are stored plain).
std::string headerPage()
{
    std::string page(kPage, '\0');
    page[1] = 0x01;
    std::memcpy(page.data() + 4, "Standard Jet DB", 15);
    put32(page, 0x14, 1);
    std::string block(128, '\0');
    put16(block, 0x3c - 0x18, 1250);
    put16(block, 0x6e - 0x18, 0x0409);
    // RC4 with the fixed key 0x6b39dac7, as the readers undo it.
    const uint8_t key[4] = {0xc7, 0xda, 0x39, 0x6b};
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = uint8_t(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < 128; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        block[size_t(n)] = char(uint8_t(block[size_t(n)]) ^ s[(s[i] + s[j]) & 0xff]);
    }
    page.replace(0x18, 128, block);
    return page;
}

std::vector<Field> catalogRow(uint32_t id, const std::string& name, uint32_t flags)
{
    return {{"Id", tLong, le32(id)},
            {"ParentId", tLong, le32(0x0f000001)},
            {"Name", tText, ucs2(name)},
            {"Type", tInt, le16(1)},
            {"Flags", tLong, le32(flags)},
            {"LvProp", tOle, std::nullopt}};
}

}  // namespace

std::string WriteDatabase(const std::string& table, const std::vector<Column>& columns, bool withRow)
{
    std::vector<Field> fields;
    for (auto& c : columns) fields.push_back({c.name, jetType(c.type), c.value ? std::optional(encode(c)) : std::nullopt});

    auto catalogSelf = catalogRow(pgCatalogDef, "MSysObjects", 0x80000002);
    auto catalogTable = catalogRow(pgTableDef, table, 0);
    std::string file = headerPage();
    file += dataPage(0, {usageMap({pgCatalogData}), usageMap({pgCatalogData}),
                         withRow ? usageMap({pgTableData}) : usageMap({}), usageMap({})});
    file += tableDefinition(catalogSelf, 2, true, pgMaps << 8 | 0, pgMaps << 8 | 1);
    file += dataPage(pgCatalogDef, {packRow(catalogSelf), packRow(catalogTable)});
    file += tableDefinition(fields, withRow ? 1 : 0, false, pgMaps << 8 | 2, pgMaps << 8 | 3);
    if (withRow) file += dataPage(pgTableDef, {packRow(fields)});
    return file;
}

}  // namespace zeph::jet
