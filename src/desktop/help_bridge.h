// THelpBridge: takes over the application's help hook and carries the older help engine's
// commands out with a compiled HTML help viewer, reached through a THelpViewer adapter.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace zeph::desk {

struct HelpPoint {
    int x = 0, y = 0;
    bool operator==(const HelpPoint&) const = default;
};

// A help command's data: a number (context), a keyword (257, 261) or a point (13).
struct HelpData {
    int64_t number = 0;
    std::string keyword;
    HelpPoint point;
};

// Commands of the older engine and of the HTML help viewer.
enum : unsigned {
    HELP_CONTEXT = 1, HELP_QUIT = 2, HELP_INDEX = 3, HELP_CONTEXTPOPUP = 8, HELP_FINDER = 11,
    HELP_SETPOPUP_POS = 13, HELP_COMMAND_INDEX = 15, HELP_KEY = 257, HELP_PARTIALKEY = 261,
};
enum : unsigned {
    HH_DISPLAY_TOC = 1, HH_DISPLAY_INDEX = 2, HH_DISPLAY_TEXT_POPUP = 14, HH_HELP_CONTEXT = 0x0F, HH_CLOSE_ALL = 0x12,
};

// The pop-up description handed to the viewer (HH_POPUP).
struct HHPopup {
    uint32_t cbStruct = 52;
    uint32_t idString = 0;              // the context number
    std::string text;                   // none
    HelpPoint pt;
    uint32_t clrForeground = 0xFFFFFFFF;  // left to the viewer
    uint32_t clrBackground = 0xFFFFFFFF;
    int marginLeft = -1, marginTop = -1, marginRight = -1, marginBottom = -1;
    std::string font = "MS Sans Serif, 8";
};

// Stands in for the platform's HTML help viewer and the older help engine.
class THelpViewer {
public:
    virtual ~THelpViewer() = default;
    // True when the viewer shows a window. file is empty for HH_CLOSE_ALL.
    virtual bool htmlHelp(const std::string& file, unsigned command, const HelpData& data, const HHPopup* popup) = 0;
    virtual bool winHelp(const std::string& file, unsigned command, const HelpData& data) = 0;
};

using HelpHook = std::function<bool(unsigned command, const HelpData& data, bool& callHelp)>;

// The application's side of help: its help file, its help hook and what the hook asks of
// the screen.
struct THelpApplication {
    std::string HelpFile;
    HelpHook OnHelp;
    // The active window's own help file when that window is on screen; "" otherwise.
    std::function<std::string()> activeWindowHelpFile;
    std::function<HelpPoint()> cursorPos;

    // Application.HelpCommand: true when help was shown.
    bool HelpCommand(unsigned command, const HelpData& data);
    bool HelpContext(int context) { return HelpCommand(HELP_CONTEXT, HelpData{context, {}, {}}); }
};

enum THelpType { htWinhelp, htHTMLhelp, htMixedMode };
enum TShowType { stDefault, stMain, stPopup };

class THelpBridge {
public:
    // Throws std::runtime_error("Multiple instances of THelpBridge are not allowed") when one
    // exists already.
    THelpBridge(THelpApplication& app, THelpViewer& viewer);
    ~THelpBridge();
    THelpBridge(const THelpBridge&) = delete;
    THelpBridge& operator=(const THelpBridge&) = delete;

    THelpType HelpType = htWinhelp;
    TShowType ShowType = stDefault;
    std::string Helpfile;
    std::string CHMPopupTopics = "CSHelp.txt";
    bool ValidateID = false;  // has no effect
    HelpHook OnHelp;

    static THelpBridge* instance();
    // The hook installed in the application.
    bool HandleHelp(unsigned command, const HelpData& data, bool& callHelp);
    HelpPoint popupPosition() const { return popupPos_; }

private:
    std::string chooseHelpFile() const;
    bool html(unsigned command, const HelpData& data, const std::string& file);
    bool older(unsigned command, const HelpData& data, const std::string& file);

    THelpApplication& app_;
    THelpViewer& viewer_;
    HelpHook previous_;
    HelpPoint popupPos_;
};

// "dir/zeph8.hlp" -> "dir/zeph8.chm"; a name without an extension gets one.
std::string changeFileExt(const std::string& path, const std::string& ext);

}  // namespace zeph::desk
