// A Prompter for tests: records every prompt and answers from a queue.
#pragma once

#include "platform/prompter.h"

#include <deque>
#include <string>
#include <vector>

namespace zeph::test {

struct RecordedPrompt {
    std::string kind;  // "message", "error", "openFiles", "font", "login", "html", "text"
    std::string caption;
    std::string text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
};

class ScriptedPrompter : public Prompter {
public:
    // Answers for message(), in order; when empty, the first button of the box (Ok / Yes...).
    std::deque<Answer> answers;
    std::deque<std::vector<std::string>> files;   // for openFiles
    std::deque<std::optional<FontSpec>> fonts;     // for chooseFont
    std::deque<std::optional<LoginRequest>> logins;  // for login: nullopt = cancelled
    std::deque<bool> htmlResults;                  // for showHtml (default true)
    std::deque<bool> textResults;                  // for showText (default true)
    std::vector<RecordedPrompt> prompts;

    Answer message(const std::string& caption, const std::string& text, Icon icon, Buttons buttons) override;
    void showError(const std::string& text) override;
    std::vector<std::string> openFiles(const FileDialogRequest& r) override;
    std::optional<FontSpec> chooseFont(const FontSpec& current) override;
    bool login(LoginRequest& r) override;
    bool showHtml(const std::string& url, const std::string& options) override;
    bool showText(const TextDialogRequest& r) override;

    // Texts of the recorded prompts of one kind, in order.
    std::vector<std::string> texts(const std::string& kind = "message") const;
};

}  // namespace zeph::test
