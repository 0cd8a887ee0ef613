// The window's Prompter: message boxes and dialogs with Qt.
#pragma once

#include "platform/prompter.h"

class QWidget;

namespace zeph::app {

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* owner) : owner_(owner) {}
    Answer message(const std::string& caption, const std::string& text, Icon icon, Buttons buttons) override;
    void showError(const std::string& text) override;
    std::vector<std::string> openFiles(const FileDialogRequest& r) override;

private:
    QWidget* owner_;
};

// "Soubory slovníků (*.di8)|*.di8" -> "Soubory slovníků (*.di8)" for Qt's file dialogs.
std::string qtFilter(const std::string& windowsFilter);

}  // namespace zeph::app
