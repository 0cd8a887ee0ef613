#include "catalogue/database.h"

#include "catalogue/properties_row.h"

#include "platform/datetime.h"
#include "platform/regini.h"

#include <cstdio>
#include <cstring>
#include <optional>

namespace zeph::cat {

namespace {

struct FieldError {
    std::string text;
};

std::string required(const PropertiesRow& r, const char* name)
{
    for (auto& [col, val] : r.columns) {
        if (strcasecmp(col.c_str(), name) != 0) continue;
        if (!val) throw FieldError{std::string("Sloupec ") + name + " nemá hodnotu."};
        return *val;
    }
    throw FieldError{std::string("Sloupec ") + name + " v tabulce Properties neexistuje."};
}

int32_t integer(const PropertiesRow& r, const char* name)
{
    std::string v = required(r, name);
    auto n = parseDecimalInt(v);
    if (!n) throw FieldError{std::string("Hodnotu sloupce ") + name + " nelze převést na číslo."};
    return *n;
}

double dateValue(const PropertiesRow& r, const char* name)
{
    std::string v = required(r, name);
    dt::DateTime t;
    char tail = 0;
    int got = std::sscanf(v.c_str(), "%d-%d-%d %d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second, &tail);
    if (got != 6 || !dt::isValidDate(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 || t.second > 59)
        throw FieldError{std::string("Hodnotu sloupce ") + name + " nelze převést na datum."};
    return dt::toSerial(t);
}

void show(Prompter* prompter, bool silent, const std::string& text)
{
    if (!silent && prompter) prompter->message("Otevřít", text, Icon::Error, Buttons::Ok);
}

}  // namespace

TDatabaseProperties ReadDatabaseProperties(const std::string& path, bool silent, Prompter* prompter)
{
    TDatabaseProperties p;
    auto raw = ReadIsolated(path);
    if (!raw || raw->stage == PropertiesRow::OpenFailed) {
        std::string why = raw ? raw->error : "Soubor není čitelná databáze.";
        show(prompter, silent, "Nastaly potíže s otevřením databáze: " + path + "\n\r" + " (" + why + ")");
        return p;
    }
    if (raw->stage == PropertiesRow::NoRow) return p;
    try {
        if (raw->stage == PropertiesRow::QueryFailed) throw FieldError{raw->error};
        p.Version = required(*raw, "Version");
        p.LangCombination = integer(*raw, "LangCombination");
        p.Lang1ID = integer(*raw, "Lang1ID");
        p.Lang2ID = integer(*raw, "Lang2ID");
        p.LangShift = integer(*raw, "LangShift");
        p.AvailableDicts = required(*raw, "AvailableDicts");
        p.Date = dateValue(*raw, "Date");
        p.Name = required(*raw, "Name");
        // UpdateVer is optional and otherwise unused: absent, NULL or not a number all read as -1,
        // so a database is never refused, nor a message shown, for it alone.
        p.UpdateVer = -1;
        for (auto& [col, val] : raw->columns)
            if (strcasecmp(col.c_str(), "UpdateVer") == 0) {
                if (val) p.UpdateVer = parseDecimalInt(*val).value_or(-1);
                break;
            }
    } catch (const FieldError& e) {
        show(prompter, silent, "Databáze neobsahuje informační tabulku!\n\r (" + e.text + ")");
    }
    return p;
}

const NameTables& FillNameTables()
{
    static const NameTables tables = {
        {{{"Česko", "český"}, {"Anglicko", "anglický"}, {"Německo", "německý"}, {"Francouzsko", "francouzský"},
          {"Rusko", "ruský"}, {"Španělsko", "španělský"}, {"Polsko", "polský"}, {"", ""}, {"", ""}}},
        {"Uživatelský", "Všeobecný - základní", "Všeobecný - rozšířený", "Všeobecný - konverzace",
         "Technický - obecně", "Technický - strojírenské obory", "Technický - stavební obory, architektura, atd...",
         "Technický - elektrotechnika, počítače, internet, atd...", "Obchodně-právnický", "Chemicko-lékařský",
         "Přírodovědný", "Humanitní podobory", "Speciální podobory", "Vojenský", "Americká angličtina",
         "Obchodní korespondence", "<rezerva>"},
    };
    return tables;
}

std::string CombinationText(int32_t lang1, int32_t lang2)
{
    auto& t = FillNameTables().languages;
    auto form = [&](int32_t n, bool first) -> std::string {
        if (n < 0 || n >= int32_t(t.size())) return "";
        return first ? t[n].first : t[n].second;
    };
    return form(lang1, true) + "-" + form(lang2, false);
}

}  // namespace zeph::cat
