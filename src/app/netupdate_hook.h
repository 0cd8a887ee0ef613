// The window's web update engine (NetUpdate): configured as the control panel configures it,
// its events wired to the window's handlers, its dialogs (login, HTML page, what's new,
// licence) shown with Qt, and the update button's run started through the window's hook.
#pragma once

#include "netupdate/netupdate.h"

#include <memory>

class QWidget;

namespace zeph::app {

class TFormControl;
class NetUpdateDialogs;

class NetUpdatePart {
public:
    explicit NetUpdatePart(TFormControl& form);
    ~NetUpdatePart();
    nu::TNetUpdate& engine() { return *nu_; }

private:
    std::unique_ptr<NetUpdateDialogs> dialogs_;
    std::unique_ptr<nu::TNetUpdate> nu_;
};

// The engine's dialogs with Qt; everything else goes to the window's own prompter.
class NetUpdateDialogs : public Prompter {
public:
    NetUpdateDialogs(Prompter& base, QWidget* owner) : base_(base), owner_(owner) {}
    Answer message(const std::string& caption, const std::string& text, Icon icon, Buttons buttons) override;
    void showError(const std::string& text) override { base_.showError(text); }
    bool login(LoginRequest& r) override;
    bool showHtml(const std::string& url, const std::string& options) override;
    bool showText(const TextDialogRequest& r) override;

private:
    Prompter& base_;
    QWidget* owner_;
};

}  // namespace zeph::app
