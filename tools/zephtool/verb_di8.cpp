// zephtool di8 FILE: the descriptor of a dictionary database, one field a line.
#include "verb.h"

#include "catalogue/database.h"
#include "platform/datetime.h"

#include <cstdio>

namespace {

class StderrPrompter : public zeph::Prompter {
public:
    zeph::Answer message(const std::string&, const std::string& text, zeph::Icon, zeph::Buttons) override
    {
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
    if (p.Name.empty()) return 1;
    auto t = zeph::dt::fromSerial(p.Date).value_or(zeph::dt::DateTime{});
    std::printf("Name=%s\nVersion=%s\nDate=%04d-%02d-%02d %02d:%02d:%02d\nLang1ID=%d\nLang2ID=%d\n"
                "LangCombination=%d\nLangShift=%d\nAvailableDicts=%s\nUpdateVer=%d\n",
                p.Name.c_str(), p.Version.c_str(), t.year, t.month, t.day, t.hour, t.minute, t.second, p.Lang1ID,
                p.Lang2ID, p.LangCombination, p.LangShift, p.AvailableDicts.c_str(), p.UpdateVer);
    return 0;
}

zephtool::ZephtoolVerb verb("di8", "di8 FILE", runDi8);

}  // namespace
