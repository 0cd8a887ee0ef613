#include "support/scripted_prompter.h"

namespace zeph::test {

Answer ScriptedPrompter::message(const std::string& caption, const std::string& text, Icon icon, Buttons buttons)
{
    prompts.push_back({"message", caption, text, icon, buttons});
    if (!answers.empty()) {
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return Answer::Yes;
    case Buttons::RetryCancel: return Answer::Retry;
    case Buttons::AbortRetryIgnore: return Answer::Abort;
    }
    return Answer::Ok;
}

void ScriptedPrompter::showError(const std::string& text)
{
    prompts.push_back({"error", "", text, Icon::Error, Buttons::Ok});
}

std::vector<std::string> ScriptedPrompter::openFiles(const FileDialogRequest& r)
{
    prompts.push_back({"openFiles", r.title, r.folder + "|" + r.filter, Icon::None, Buttons::OkCancel});
    if (files.empty()) return {};
    auto f = files.front();
    files.pop_front();
    return f;
}

std::optional<FontSpec> ScriptedPrompter::chooseFont(const FontSpec& current)
{
    prompts.push_back({"font", "", current.name, Icon::None, Buttons::OkCancel});
    if (fonts.empty()) return std::nullopt;
    auto f = fonts.front();
    fonts.pop_front();
    return f;
}

bool ScriptedPrompter::login(LoginRequest& r)
{
    prompts.push_back({"login", r.caption, r.user, Icon::None, Buttons::OkCancel});
    if (logins.empty()) return false;
    auto l = logins.front();
    logins.pop_front();
    if (!l) return false;
    r.user = l->user;
    r.password = l->password;
    return true;
}

bool ScriptedPrompter::showHtml(const std::string& url, const std::string& options)
{
    prompts.push_back({"html", options, url, Icon::None, Buttons::Ok});
    if (htmlResults.empty()) return true;
    bool b = htmlResults.front();
    htmlResults.pop_front();
    return b;
}

bool ScriptedPrompter::showText(const TextDialogRequest& r)
{
    prompts.push_back({"text", r.caption, r.text, Icon::None, r.licence ? Buttons::YesNo : Buttons::Ok});
    if (textResults.empty()) return true;
    bool b = textResults.front();
    textResults.pop_front();
    return b;
}

std::vector<std::string> ScriptedPrompter::texts(const std::string& kind) const
{
    std::vector<std::string> out;
    for (auto& p : prompts)
        if (p.kind == kind) out.push_back(p.text);
    return out;
}

}  // namespace zeph::test
