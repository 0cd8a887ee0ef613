#include "catalogue/properties_row.h"

#include <cstdint>
#include <cstring>
#include <mdbsql.h>
#include <vector>

namespace zeph::cat {

namespace {

constexpr int kOffsetMask = 0x1fff;

// NULL flags of the row just fetched, by column name: the bound text of a NULL and of an empty
// text are alike, the row's null mask tells them apart.
std::map<std::string, bool> nullFlags(MdbTableDef* table)
{
    std::map<std::string, bool> out;
    MdbHandle* mdb = table->entry->mdb;
    if (table->cur_row == 0 || !mdb_read_pg(mdb, table->cur_phys_pg)) return out;
    int start = 0;
    size_t len = 0;
    if (mdb_find_row(mdb, int(table->cur_row) - 1, &start, &len) != 0 || len == 0) return out;
    std::vector<MdbField> fields(std::max<size_t>(table->num_cols, 256));
    if (mdb_crack_row(table, start & kOffsetMask, len, fields.data()) < 0) return out;
    for (unsigned i = 0; i < table->num_cols && i < table->columns->len; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        out[col->name] = fields[i].is_null != 0;
    }
    return out;
}

void putString(std::string& out, const std::string& s)
{
    auto n = uint32_t(s.size());
    out.append(reinterpret_cast<const char*>(&n), 4);
    out += s;
}

bool getString(const std::string& in, size_t& pos, std::string& s)
{
    uint32_t n;
    if (in.size() - pos < 4) return false;
    std::memcpy(&n, in.data() + pos, 4);
    pos += 4;
    if (n > in.size() - pos) return false;
    s.assign(in, pos, n);
    pos += n;
    return true;
}

}  // namespace

PropertiesRow ReadPropertiesRow(const std::string& path)
{
    PropertiesRow r;
    MdbSQL* sql = mdb_sql_init();
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    if (!mdb_sql_open(sql, name.data())) {
        r.error = "Soubor nelze otevřít jako databázi.";
        mdb_sql_exit(sql);
        return r;
    }
    // Dates as text in a fixed, locale-independent form.
    mdb_set_date_fmt(sql->mdb, "%Y-%m-%d %H:%M:%S");
    mdb_sql_run_query(sql, "SELECT * FROM Properties");
    if (mdb_sql_has_error(sql) || !sql->cur_table) {
        r.stage = PropertiesRow::QueryFailed;
        r.error = mdb_sql_has_error(sql) ? mdb_sql_last_error(sql) : "Tabulku Properties nelze číst.";
        if (r.error.empty()) r.error = "Tabulku Properties nelze číst.";
        mdb_sql_exit(sql);
        return r;
    }
    unsigned n = sql->num_columns;
    std::vector<int> lens(n);
    for (unsigned i = 0; i < n; ++i) mdb_sql_bind_column(sql, int(i) + 1, nullptr, &lens[i]);
    if (!mdb_sql_fetch_row(sql, sql->cur_table)) {
        r.stage = PropertiesRow::NoRow;
        mdb_sql_exit(sql);
        return r;
    }
    r.stage = PropertiesRow::Row;
    auto nulls = nullFlags(sql->cur_table);
    for (unsigned i = 0; i < n && i < sql->columns->len && i < sql->bound_values->len; ++i) {
        auto* col = static_cast<MdbSQLColumn*>(g_ptr_array_index(sql->columns, i));
        auto* val = static_cast<const char*>(g_ptr_array_index(sql->bound_values, i));
        auto known = nulls.find(col->name);
        bool isNull = known != nulls.end() ? known->second : lens[i] == 0;
        r.columns[col->name] = isNull ? std::nullopt : std::optional<std::string>(val ? val : "");
    }
    mdb_sql_exit(sql);
    return r;
}

std::string EncodeReply(const PropertiesRow& row)
{
    std::string out;
    putString(out, std::string(1, "OQNR"[row.stage]));
    putString(out, row.error);
    putString(out, std::to_string(row.columns.size()));  // so that a cut reply never passes as whole
    for (auto& [name, value] : row.columns) {
        putString(out, name);
        putString(out, value ? "V" + *value : "N");
    }
    return out;
}

std::optional<PropertiesRow> DecodeReply(const std::string& reply)
{
    PropertiesRow r;
    size_t pos = 0;
    std::string stage;
    if (!getString(reply, pos, stage) || !getString(reply, pos, r.error) || stage.size() != 1) return std::nullopt;
    const char* at = std::strchr("OQNR", stage[0]);
    if (!at || !*at) return std::nullopt;
    r.stage = PropertiesRow::Stage(at - "OQNR");
    std::string count;
    if (!getString(reply, pos, count) || count.empty() || count.size() > 6 ||
        count.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    for (size_t i = 0, n = std::stoul(count); i < n; ++i) {
        std::string name, value;
        if (!getString(reply, pos, name) || !getString(reply, pos, value) || value.empty()) return std::nullopt;
        if (value[0] == 'V') r.columns[name] = value.substr(1);
        else if (value == "N") r.columns[name] = std::nullopt;
        else return std::nullopt;
    }
    if (pos != reply.size()) return std::nullopt;
    if (r.stage != PropertiesRow::Row && !r.columns.empty()) return std::nullopt;
    return r;
}

}  // namespace zeph::cat
