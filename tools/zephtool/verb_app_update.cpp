// zephtool app-update [--url URL] [--yes|--no] [--log FILE]: one run of the application update
// engine, configured as the control panel configures it, without a window. Every status goes to
// stdout as "[number] text (StatusCode, ErrCode)"; questions are answered by the flag (yes when
// none is given) and dialogs are printed. The hand-off to the updater is not performed: the
// verb says that a restart would follow.
#include "verb.h"

#include "netupdate/netupdate.h"
#include "platform/hostlookup.h"

#include <cstdio>

namespace {

using namespace zeph;

class ConsolePrompter : public Prompter {
public:
    explicit ConsolePrompter(bool yes) : yes_(yes) {}
    Answer message(const std::string& caption, const std::string& text, Icon, Buttons buttons) override
    {
        print("message", caption, text);
        switch (buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::OkCancel: return yes_ ? Answer::Ok : Answer::Cancel;
        case Buttons::RetryCancel: return Answer::Cancel;
        case Buttons::AbortRetryIgnore: return Answer::Abort;
        default: return yes_ ? Answer::Yes : Answer::No;
        }
    }
    void showError(const std::string& text) override { std::fprintf(stderr, "zephtool: %s\n", text.c_str()); }
    bool login(LoginRequest& r) override
    {
        print("login", r.caption, "(no user name and password can be entered here)");
        return false;
    }
    bool showHtml(const std::string& url, const std::string&) override
    {
        print("html", "", url);
        return true;
    }
    bool showText(const TextDialogRequest& r) override
    {
        print(r.licence ? "licence" : "whatsnew", r.caption, r.text);
        return yes_;
    }

private:
    void print(const char* kind, const std::string& caption, const std::string& text)
    {
        std::printf("<%s> %s\n%s\n", kind, caption.c_str(), text.c_str());
        std::fflush(stdout);
    }
    bool yes_;
};

// Statuses by number: ReportStatus knows it, OnStatus only sees the text.
class ConsoleNetUpdate : public nu::TNetUpdate {
public:
    void ReportStatus(int32_t resId, const std::string& param, int32_t statusCode, int32_t errCode) override
    {
        currentId_ = resId;
        TNetUpdate::ReportStatus(resId, param, statusCode, errCode);
        currentId_ = 0;
    }
    void print(const std::string& text, int32_t statusCode, int32_t errCode)
    {
        // Internet errors bypass ReportStatus and carry no number.
        std::string id = currentId_ ? std::to_string(currentId_) : "-";
        std::printf("[%s] %s (%d, %d)\n", id.c_str(), text.c_str(), statusCode, errCode);
        std::fflush(stdout);
    }

private:
    int32_t currentId_ = 0;
};

int runAppUpdate(const std::vector<std::string>& args)
{
    std::string url, log;
    bool yes = true;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--url" && i + 1 < args.size()) url = args[++i];
        else if (args[i] == "--log" && i + 1 < args.size()) log = args[++i];
        else if (args[i] == "--yes") yes = true;
        else if (args[i] == "--no") yes = false;
        else return zephtool::fail("usage: zephtool app-update [--url URL] [--yes|--no] [--log FILE]");
    }
    ConsolePrompter prompter(yes);
    ConsoleNetUpdate nu;
    nu::ApplyControlPanelSettings(nu);
    nu.URL = url.empty() ? "http://" + net::updateServer() + "/updates/zeph/update.inf" : url;
    if (!log.empty()) {
        nu.Logging = true;
        nu.SetLogFileName(log);
    }
    nu.prompter = &prompter;
    nu.OnStatus = [&nu](nu::TNetUpdate&, const std::string& text, int32_t code, int32_t err) { nu.print(text, code, err); };
    nu.OnFileDownloaded = [](nu::TNetUpdate&, const std::string& file) { std::printf("<downloaded> %s\n", file.c_str()); };
    nu.RunUpdate(false);
    if (nu.RestartNeeded())
        std::printf("<restart> application components were fetched: the control panel would now restart for the update\n");
    return 0;
}

zephtool::ZephtoolVerb verb("app-update", "app-update [--url URL] [--yes|--no] [--log FILE]", runAppUpdate);

}  // namespace
