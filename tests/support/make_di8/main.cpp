// make-di8 OUT.di8 [COLUMN[:TYPE]=VALUE ...] [--omit COLUMN ...] [--null COLUMN ...] [--no-rows] [--table NAME]
// Writes a Jet 4 database with the descriptor table Properties and its one row. Every column of
// the descriptor has a default; TYPE (text, long, date, double) changes a column's type, and an
// unknown COLUMN adds a column.
#include "make_di8/jet_writer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>

using zeph::jet::Column;
using zeph::jet::ColumnType;

namespace {

int usage(const std::string& why)
{
    std::cerr << "make-di8: " << why << "\n"
              << "usage: make-di8 OUT.di8 [COLUMN[:TYPE]=VALUE ...] [--omit COLUMN ...] [--null COLUMN ...] [--no-rows]"
                 " [--table NAME]\n";
    return 2;
}

std::vector<Column> defaults()
{
    return {{"Version", ColumnType::Text, "8.0"},
            {"LangCombination", ColumnType::Long, "0"},
            {"Lang1ID", ColumnType::Long, "1"},
            {"Lang2ID", ColumnType::Long, "0"},
            {"LangShift", ColumnType::Long, "0"},
            {"AvailableDicts", ColumnType::Text, "0,1,2"},
            {"Date", ColumnType::Date, "2008-01-01T00:00:00"},
            {"Name", ColumnType::Text, "Anglicko-český"},
            {"UpdateVer", ColumnType::Long, "0"}};
}

Column* find(std::vector<Column>& cols, const std::string& name)
{
    auto it = std::find_if(cols.begin(), cols.end(), [&](const Column& c) { return c.name == name; });
    return it == cols.end() ? nullptr : &*it;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return usage("no output file");
    std::string out = argv[1];
    std::string table = "Properties";
    bool withRow = true;
    std::vector<Column> cols = defaults();
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--no-rows") {
            withRow = false;
        } else if (a == "--omit" || a == "--null" || a == "--table") {
            if (i + 1 >= argc) return usage(a + " needs a name");
            std::string name = argv[++i];
            if (a == "--table") {
                table = name;
                continue;
            }
            Column* c = find(cols, name);
            if (!c) return usage("no column " + name);
            if (a == "--null") c->value.reset();
            else cols.erase(cols.begin() + (c - cols.data()));
        } else if (auto eq = a.find('='); eq != std::string::npos && eq > 0) {
            std::string name = a.substr(0, eq), value = a.substr(eq + 1);
            std::optional<ColumnType> type;
            if (auto colon = name.find(':'); colon != std::string::npos) {
                std::string t = name.substr(colon + 1);
                name.resize(colon);
                if (t == "text") type = ColumnType::Text;
                else if (t == "long") type = ColumnType::Long;
                else if (t == "date") type = ColumnType::Date;
                else if (t == "double") type = ColumnType::Double;
                else return usage("unknown type " + t);
            }
            Column* c = find(cols, name);
            if (!c) {
                cols.push_back({name, ColumnType::Text, std::nullopt});
                c = &cols.back();
            }
            if (type) c->type = *type;
            c->value = value;
        } else {
            return usage("unknown argument " + a);
        }
    }
    try {
        std::string bytes = zeph::jet::WriteDatabase(table, cols, withRow);
        std::ofstream f(out, std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), std::streamsize(bytes.size()));
        f.close();
        if (!f) {
            std::cerr << "make-di8: cannot write " << out << "\n";
            return 1;
        }
    } catch (const zeph::jet::WriteError& e) {
        std::cerr << "make-di8: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
