#include "desktop/help_bridge.h"

#include <cctype>

namespace zeph::desk {

namespace {
THelpBridge* g_bridge = nullptr;

bool hasFolder(const std::string& path) { return path.find_first_of("/\\:") != std::string::npos; }

std::string folderOf(const std::string& path)
{
    size_t cut = path.find_last_of("/\\:");
    return cut == std::string::npos ? "" : path.substr(0, cut + 1);
}

bool endsWithNoCase(const std::string& s, const std::string& tail)
{
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower((unsigned char)s[s.size() - tail.size() + i]) != std::tolower((unsigned char)tail[i])) return false;
    return true;
}
}  // namespace

std::string changeFileExt(const std::string& path, const std::string& ext)
{
    size_t dot = path.find_last_of("./\\:");
    if (dot != std::string::npos && path[dot] == '.') return path.substr(0, dot) + ext;
    return path + ext;
}

bool THelpApplication::HelpCommand(unsigned command, const HelpData& data)
{
    bool callHelp = true;
    bool shown = OnHelp ? OnHelp(command, data, callHelp) : false;
    // No older engine stands behind the hook on this platform: a request it left is not shown.
    return shown;
}

THelpBridge::THelpBridge(THelpApplication& app, THelpViewer& viewer) : app_(app), viewer_(viewer)
{
    if (g_bridge) throw std::runtime_error("Multiple instances of THelpBridge are not allowed");
    previous_ = app_.OnHelp;
    app_.OnHelp = [this](unsigned command, const HelpData& data, bool& callHelp) { return HandleHelp(command, data, callHelp); };
    g_bridge = this;
}

THelpBridge::~THelpBridge()
{
    app_.OnHelp = previous_;
    g_bridge = nullptr;
}

THelpBridge* THelpBridge::instance() { return g_bridge; }

std::string THelpBridge::chooseHelpFile() const
{
    if (!Helpfile.empty()) return Helpfile;
    std::string file = app_.HelpFile;
    if (app_.activeWindowHelpFile)
        if (std::string own = app_.activeWindowHelpFile(); !own.empty()) file = own;
    return file;
}

bool THelpBridge::HandleHelp(unsigned command, const HelpData& data, bool& callHelp)
{
    bool result = false;
    if (OnHelp) result = OnHelp(command, data, callHelp);
    if (callHelp && previous_) result = previous_(command, data, callHelp);
    if (!callHelp) return result;

    std::string file = chooseHelpFile();
    if (ShowType == stMain) {
        if (command == HELP_CONTEXTPOPUP) command = HELP_CONTEXT;
        else if (command == HELP_SETPOPUP_POS) command = 0;
    }
    bool popupCommand = command == HELP_CONTEXTPOPUP || command == HELP_SETPOPUP_POS;
    if (HelpType == htHTMLhelp || (HelpType == htMixedMode && !popupCommand)) {
        callHelp = false;
        if (command == HELP_CONTEXTPOPUP) {
            html(command, data, file);
            return true;  // the pop-up counts as shown at once
        }
        return html(command, data, file);
    }
    callHelp = false;
    return older(command, data, file);
}

bool THelpBridge::html(unsigned command, const HelpData& data, const std::string& helpFile)
{
    std::string file = changeFileExt(helpFile, ".chm");
    switch (command) {
    case HELP_CONTEXT: return viewer_.htmlHelp(file, HH_HELP_CONTEXT, data, nullptr);
    case HELP_QUIT: return viewer_.htmlHelp("", HH_CLOSE_ALL, data, nullptr);
    case HELP_INDEX:
    case HELP_FINDER: return viewer_.htmlHelp(file, HH_DISPLAY_TOC, data, nullptr);
    case HELP_COMMAND_INDEX:
        return viewer_.htmlHelp(file, data.number != 0 ? HH_DISPLAY_INDEX : HH_DISPLAY_TOC, data, nullptr);
    case HELP_KEY:
    case HELP_PARTIALKEY: return viewer_.htmlHelp(file, HH_DISPLAY_INDEX, data, nullptr);
    case HELP_SETPOPUP_POS: popupPos_ = data.point; return false;
    case HELP_CONTEXTPOPUP: {
        HHPopup popup;
        popup.idString = uint32_t(data.number);
        popup.pt = popupPos_ == HelpPoint{} && app_.cursorPos ? app_.cursorPos() : popupPos_;
        if (CHMPopupTopics.empty()) CHMPopupTopics = "CSHelp.txt";
        std::string topics = hasFolder(CHMPopupTopics) ? CHMPopupTopics : file + "::/" + CHMPopupTopics;
        bool shown = viewer_.htmlHelp(topics, HH_DISPLAY_TEXT_POPUP, data, &popup);
        popupPos_ = {};
        return shown;
    }
    default: return false;
    }
}

bool THelpBridge::older(unsigned command, const HelpData& data, const std::string& helpFile)
{
    if (command == 0) return true;
    std::string file = changeFileExt(helpFile, ".hlp");
    if (command == HELP_CONTEXTPOPUP && HelpType == htMixedMode && endsWithNoCase(CHMPopupTopics, ".hlp"))
        file = hasFolder(CHMPopupTopics) ? CHMPopupTopics : folderOf(helpFile) + CHMPopupTopics;
    return viewer_.winHelp(file, command, data);
}

}  // namespace zeph::desk
