// zephtool update-databases: the database update without a window, for unattended use.
// Memo lines go to stdout, message boxes to stderr as "caption: text"; the two questions are
// answered by the flags.
#include "verb.h"

#include "config/settings.h"
#include "dbupdate/dbupdate.h"
#include "dbupdate/stream.h"

#include <cstdio>

using namespace zeph;

namespace {

class ConsoleMemo : public dbu::Memo {
public:
    void append(const std::string& line) override
    {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
};

class FlagPrompter : public Prompter {
public:
    bool abortAtQuestion1 = false;
    bool download = true;

    Answer message(const std::string& caption, const std::string& text, Icon, Buttons buttons) override
    {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        if (buttons != Buttons::YesNo) return Answer::Ok;
        if (text.find("přerušit aktualizaci") != std::string::npos) return abortAtQuestion1 ? Answer::Yes : Answer::No;
        return download ? Answer::Yes : Answer::No;
    }
};

int updateDatabases(const std::vector<std::string>& args)
{
    FlagPrompter prompter;
    dbu::UpdateEnvironment env;
    env.prompter = &prompter;
    env.downloaderOnConsole = true;  // unattended: no window of its own
    std::string folder;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--server" && i + 1 < args.size()) env.server = args[++i];
        else if (a == "--folder" && i + 1 < args.size()) folder = args[++i];
        else if (a == "--abort") prompter.abortAtQuestion1 = true;
        else if (a == "--continue") prompter.abortAtQuestion1 = false;
        else if (a == "--download") prompter.download = true;
        else if (a == "--no-download") prompter.download = false;
        else return zephtool::fail("neznámý argument: " + a);
    }
    if (folder.empty()) {
        LoadSharedConfiguration();
        folder = sharedConfig().DatabaseFolder;
    }
    ConsoleMemo memo;
    try {
        dbu::UpdateDatabases(&memo, folder, env);
    } catch (const dbu::PackageError& e) {
        return zephtool::fail(e.what());
    }
    return 0;
}

zephtool::ZephtoolVerb verb("update-databases",
                            "update-databases [--server HOST[:PORT]] [--folder DIR] [--abort|--continue] "
                            "[--download|--no-download]",
                            updateDatabases);

}  // namespace
