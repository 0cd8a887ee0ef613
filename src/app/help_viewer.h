// The help window of this platform: shows the topics of a compiled help file (read with
// chmlib) in a Qt window, and its text pop-ups next to the cursor. It is the viewer behind
// the help bridge.
#pragma once

#include "desktop/chm_file.h"
#include "desktop/help_bridge.h"
#include "platform/prompter.h"

#include <QPointer>
#include <memory>

class QLabel;
class QTextBrowser;
class QUrl;
class QWidget;

namespace zeph::app {

class ChmHelpViewer : public desk::THelpViewer {
public:
    explicit ChmHelpViewer(Prompter* errors) : errors_(errors) {}
    ~ChmHelpViewer() override;

    bool htmlHelp(const std::string& file, unsigned command, const desk::HelpData& data,
                  const desk::HHPopup* popup) override;
    // The older help format has no viewer here.
    bool winHelp(const std::string& file, unsigned command, const desk::HelpData& data) override;

    // What shows now, for tests.
    QWidget* window() const;
    QWidget* popup() const;
    std::string currentTopic() const { return topic_; }
    std::string currentFile() const { return chmPath_; }

private:
    void showTopic(const std::string& topic);
    void linkClicked(const QUrl& url);

    Prompter* errors_;
    QPointer<QTextBrowser> browser_;
    QPointer<QLabel> popup_;
    std::unique_ptr<desk::TChmFile> chm_;
    std::string chmPath_;
    std::string topic_;
};

}  // namespace zeph::app
