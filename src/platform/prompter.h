// Every message box, question and dialog of the core goes through one Prompter. The window
// implements it with Qt, the tools on the console, the tests with a scripted prompter.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zeph {

enum class Icon { None, Error, Warning, Information, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class Answer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct FileDialogRequest {
    std::string title;
    std::string folder;            // initial folder
    std::string filter;            // Windows form: "Soubory slovníků (*.di8)|*.di8"
    bool multiSelect = false;
};

struct FontSpec {
    std::string name = "Tahoma";
    int sizePt = 8;
    bool bold = false, italic = false, underline = false, strikeOut = false;
    uint32_t color = 0;  // 0x00BBGGRR, or a system colour with the top bit set
    int charset = 1;
    int pitch = 0;       // 0 default, 1 variable, 2 fixed
};

struct LoginRequest {
    std::string caption;
    std::string user;
    std::string password;
};

// A text dialog (what's new, licence): text shown read-only; licence adds accept/decline.
struct TextDialogRequest {
    std::string caption;
    std::string text;
    bool licence = false;
    // Button and choice texts: OK and Cancel for what's new; OK and the two choices (the
    // second selected at first) for a licence.
    std::string okButton = "Ok";
    std::string cancelButton = "Cancel";
    std::string acceptText = "I accept";
    std::string notAcceptText = "I do not accept";
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // A message box: caption, text, icon, buttons -> the button pressed.
    virtual Answer message(const std::string& caption, const std::string& text, Icon icon,
                           Buttons buttons) = 0;
    // The application's general error report (Application.ShowException).
    virtual void showError(const std::string& text) { message("", text, Icon::Error, Buttons::Ok); }
    // File-open dialog: the chosen files (empty when cancelled).
    virtual std::vector<std::string> openFiles(const FileDialogRequest&) { return {}; }
    virtual std::optional<FontSpec> chooseFont(const FontSpec&) { return std::nullopt; }
    // Login dialog: true with the request filled in when confirmed.
    virtual bool login(LoginRequest&) { return false; }
    // A modal HTML dialog showing the page at url; false when it could not be shown.
    virtual bool showHtml(const std::string& url, const std::string& options) { return false; }
    // What's new / licence text: true when accepted (or closed, for what's new).
    virtual bool showText(const TextDialogRequest&) { return false; }
};

// "Let pending window messages be processed": supplied by the host, no-op in tools and tests.
using Pump = std::function<void()>;

}  // namespace zeph
