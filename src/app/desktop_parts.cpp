#include "app/desktop_parts.h"

#include "app/about_box.h"
#include "app/formcontrol.h"
#include "platform/folders.h"

#include <QCursor>

namespace zeph::app {

DesktopParts::DesktopParts(TFormControl& form, Prompter* errors, desk::THelpViewer* viewer)
    : fonts_(&form, errors ? errors : &form.prompter())
{
    Prompter* messages = errors ? errors : &form.prompter();
    fonts_.LoadProperties();

    // The help file lies beside the program; the current directory may move to the database folder.
    helpApp_.HelpFile = folders::programFolder() + "zeph8.chm";
    helpApp_.cursorPos = [] {
        QPoint p = QCursor::pos();
        return desk::HelpPoint{p.x(), p.y()};
    };
    if (!viewer) {
        ownViewer_ = std::make_unique<ChmHelpViewer>(messages);
        viewer = ownViewer_.get();
    }
    bridge_ = std::make_unique<desk::THelpBridge>(helpApp_, *viewer);
    bridge_->HelpType = desk::htHTMLhelp;

    WindowHooks& hooks = form.hooks();
    hooks.showHelp = [this](int context) { helpApp_.HelpContext(context); };
    hooks.showAbout = [&form] { showAboutBox(&form); };
    hooks.chooseFont = [this](QWidget* button, bool captionFont) { fonts_.chooseFont(button, captionFont); };
}

DesktopParts::~DesktopParts() = default;

}  // namespace zeph::app
