// zephtool di8 FILE: the descriptor of a dictionary database, one field a line.
#include "verb.h"

#include "catalogue/database.h"
#include "platform/datetime.h"

#include <cstdio>

namespace {

class StderrPrompter : public zeph::Prompter {
public:
    int shown = 0;
    zeph::Answer message(const std::string&, const std::string& text, zeph::Icon, zeph::Buttons) override
    {
        ++shown;
        std::string t = text;
        for (auto& c : t)
            if (c == '\r') c = ' ';
        std::fprintf(stderr, "%s\n", t.c_str());
        return zeph::Answer::Ok;
    }
};

int runDi8(const std::vector<std::string>& args)
{
    if (args.size() != 1) return zephtool::fail("usage: zephtool di8 FILE");
    StderrPrompter prompter;
    auto p = zeph::cat::ReadDatabaseProperties(args[0], false, &prompter);
    if (p.Name.empty()) {
        // A table without rows (or a row without a name) is unreadable without a message of
        // its own; say so here, or the tool would fail without a word.
        if (!prompter.shown)
            std::fprintf(stderr, "Databáze %s nemá popis: tabulka Properties je prázdná nebo bez názvu.\n", args[0].c_str());
        return 1;
    }
    auto t = zeph::dt::fromSerial(p.Date).value_or(zeph::dt::DateTime{});
    std::printf("Name=%s\nVersion=%s\nDate=%04d-%02d-%02d %02d:%02d:%02d\nLang1ID=%d\nLang2ID=%d\n"
                "LangCombination=%d\nLangShift=%d\nAvailableDicts=%s\nUpdateVer=%d\n",
                p.Name.c_str(), p.Version.c_str(), t.year, t.month, t.day, t.hour, t.minute, t.second, p.Lang1ID,
                p.Lang2ID, p.LangCombination, p.LangShift, p.AvailableDicts.c_str(), p.UpdateVer);
    return 0;
}

zephtool::ZephtoolVerb verb("di8", "di8 FILE", runDi8);

}  // namespace
