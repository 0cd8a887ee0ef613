// The desktop components on the main window: the stored fonts, the help bridge with its help
// window, and the About box, plugged into the window's hooks.
#pragma once

#include "app/font_binding.h"
#include "app/help_viewer.h"
#include "desktop/help_bridge.h"

#include <memory>

namespace zeph::app {

class TFormControl;

class DesktopParts {
public:
    // Loads the stored fonts into the window at once. errors: where messages go (the window's
    // prompter when null); viewer: the help viewer (our help window when null).
    explicit DesktopParts(TFormControl& form, Prompter* errors = nullptr, desk::THelpViewer* viewer = nullptr);
    ~DesktopParts();

    FontBinding& fonts() { return fonts_; }
    desk::THelpApplication& helpApplication() { return helpApp_; }
    desk::THelpBridge& helpBridge() { return *bridge_; }

private:
    FontBinding fonts_;
    desk::THelpApplication helpApp_;
    std::unique_ptr<ChmHelpViewer> ownViewer_;
    std::unique_ptr<desk::THelpBridge> bridge_;
};

}  // namespace zeph::app
