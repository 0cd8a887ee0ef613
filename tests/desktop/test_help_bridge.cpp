#include "desktop/chm_file.h"
#include "desktop/help_bridge.h"
#include "support/server_process.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zeph;
using namespace zeph::desk;

namespace {

struct Call {
    bool html;
    std::string file;
    unsigned command;
    HelpData data;
    std::optional<HHPopup> popup;
};

// Records every request that reaches the viewer.
class RecordingViewer : public THelpViewer {
public:
    std::vector<Call> calls;
    bool shows = true;
    bool htmlHelp(const std::string& file, unsigned command, const HelpData& data, const HHPopup* popup) override
    {
        calls.push_back({true, file, command, data, popup ? std::optional<HHPopup>(*popup) : std::nullopt});
        return shows;
    }
    bool winHelp(const std::string& file, unsigned command, const HelpData& data) override
    {
        calls.push_back({false, file, command, data, std::nullopt});
        return shows;
    }
};

struct Fixture {
    THelpApplication app;
    RecordingViewer viewer;
    HelpPoint cursor{123, 45};
    std::unique_ptr<THelpBridge> bridge;
    Fixture()
    {
        app.HelpFile = "zeph8.chm";
        app.cursorPos = [this] { return cursor; };
        bridge = std::make_unique<THelpBridge>(app, viewer);
        bridge->HelpType = htHTMLhelp;
    }
};

HelpData number(int64_t n) { return HelpData{n, {}, {}}; }

}  // namespace

TEST(HelpBridge, PageTopicsReachTheViewer)
{
    Fixture f;
    for (int context : {50, 80, 60}) {
        f.viewer.calls.clear();
        EXPECT_TRUE(f.app.HelpContext(context));
        ASSERT_EQ(f.viewer.calls.size(), 1u);
        EXPECT_TRUE(f.viewer.calls[0].html);
        EXPECT_EQ(f.viewer.calls[0].file, "zeph8.chm");
        EXPECT_EQ(f.viewer.calls[0].command, HH_HELP_CONTEXT);
        EXPECT_EQ(f.viewer.calls[0].data.number, context);
    }
    f.viewer.shows = false;  // no window: not shown
    EXPECT_FALSE(f.app.HelpContext(50));
}

TEST(HelpBridge, CommandTable)
{
    struct Case {
        unsigned command;
        HelpData data;
        bool reaches;
        unsigned hh;
        std::string file;
    } cases[] = {
        {HELP_QUIT, {}, true, HH_CLOSE_ALL, ""},
        {HELP_INDEX, {}, true, HH_DISPLAY_TOC, "zeph8.chm"},
        {HELP_FINDER, {}, true, HH_DISPLAY_TOC, "zeph8.chm"},
        {HELP_COMMAND_INDEX, number(1), true, HH_DISPLAY_INDEX, "zeph8.chm"},
        {HELP_COMMAND_INDEX, number(0), true, HH_DISPLAY_TOC, "zeph8.chm"},
        {HELP_KEY, HelpData{0, "slovník", {}}, true, HH_DISPLAY_INDEX, "zeph8.chm"},
        {HELP_PARTIALKEY, HelpData{0, "slov", {}}, true, HH_DISPLAY_INDEX, "zeph8.chm"},
        {99, {}, false, 0, ""},
        {0, {}, false, 0, ""},
    };
    for (const auto& c : cases) {
        Fixture f;
        bool shown = f.app.HelpCommand(c.command, c.data);
        ASSERT_EQ(f.viewer.calls.size(), c.reaches ? 1u : 0u) << c.command;
        EXPECT_EQ(shown, c.reaches) << c.command;
        if (!c.reaches) continue;
        EXPECT_EQ(f.viewer.calls[0].command, c.hh) << c.command;
        EXPECT_EQ(f.viewer.calls[0].file, c.file) << c.command;
        EXPECT_EQ(f.viewer.calls[0].data.keyword, c.data.keyword);
    }
}

TEST(HelpBridge, PopupAtTheCursorOrTheStoredPosition)
{
    Fixture f;
    f.viewer.shows = false;
    EXPECT_TRUE(f.app.HelpCommand(HELP_CONTEXTPOPUP, number(77)));  // true at once, window or not
    ASSERT_EQ(f.viewer.calls.size(), 1u);
    const Call& c = f.viewer.calls[0];
    EXPECT_EQ(c.command, HH_DISPLAY_TEXT_POPUP);
    EXPECT_EQ(c.file, "zeph8.chm::/CSHelp.txt");
    ASSERT_TRUE(c.popup);
    EXPECT_EQ(c.popup->idString, 77u);
    EXPECT_EQ(c.popup->pt, (HelpPoint{123, 45}));
    EXPECT_EQ(c.popup->cbStruct, 52u);
    EXPECT_EQ(c.popup->clrForeground, 0xFFFFFFFFu);
    EXPECT_EQ(c.popup->clrBackground, 0xFFFFFFFFu);
    EXPECT_EQ(c.popup->marginLeft + c.popup->marginTop + c.popup->marginRight + c.popup->marginBottom, -4);
    EXPECT_EQ(c.popup->font, "MS Sans Serif, 8");

    EXPECT_FALSE(f.app.HelpCommand(HELP_SETPOPUP_POS, HelpData{0, {}, {5, 6}}));
    f.app.HelpCommand(HELP_CONTEXTPOPUP, number(78));
    EXPECT_EQ(f.viewer.calls.back().popup->pt, (HelpPoint{5, 6}));
    f.app.HelpCommand(HELP_CONTEXTPOPUP, number(79));  // the stored position was used up
    EXPECT_EQ(f.viewer.calls.back().popup->pt, (HelpPoint{123, 45}));

    f.bridge->CHMPopupTopics = "/usr/share/help/popups.txt";  // with a folder: taken as it is
    f.app.HelpCommand(HELP_CONTEXTPOPUP, number(1));
    EXPECT_EQ(f.viewer.calls.back().file, "/usr/share/help/popups.txt");
    f.bridge->CHMPopupTopics = "";
    f.app.HelpCommand(HELP_CONTEXTPOPUP, number(1));
    EXPECT_EQ(f.viewer.calls.back().file, "zeph8.chm::/CSHelp.txt");
}

TEST(HelpBridge, ChoiceOfTheHelpFile)
{
    Fixture f;
    f.app.HelpFile = "help/zeph8.hlp";  // an old help file name is still opened as .chm
    f.app.HelpContext(50);
    EXPECT_EQ(f.viewer.calls.back().file, "help/zeph8.chm");
    f.app.HelpFile = "help.d/zeph8";
    f.app.HelpContext(50);
    EXPECT_EQ(f.viewer.calls.back().file, "help.d/zeph8.chm");
    f.app.activeWindowHelpFile = [] { return std::string("dialog.chm"); };
    f.app.HelpContext(50);
    EXPECT_EQ(f.viewer.calls.back().file, "dialog.chm");
    f.bridge->Helpfile = "/opt/z/own.chm";
    f.app.HelpContext(50);
    EXPECT_EQ(f.viewer.calls.back().file, "/opt/z/own.chm");
}

TEST(HelpBridge, OneInstanceAndTheHookChain)
{
    THelpApplication app;
    RecordingViewer viewer;
    std::vector<unsigned> previousCalls;
    app.OnHelp = [&](unsigned command, const HelpData&, bool&) {
        previousCalls.push_back(command);
        return false;
    };
    {
        THelpBridge first(app, viewer);
        EXPECT_EQ(THelpBridge::instance(), &first);
        try {
            THelpBridge second(app, viewer);
            ADD_FAILURE() << "a second bridge was allowed";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Multiple instances of THelpBridge are not allowed");
        }
        EXPECT_EQ(THelpBridge::instance(), &first);

        first.HelpType = htHTMLhelp;
        first.OnHelp = [](unsigned command, const HelpData&, bool& callHelp) {
            if (command == 1) callHelp = false;  // handled by the host
            return command == 1;
        };
        EXPECT_TRUE(app.HelpContext(50));
        EXPECT_TRUE(viewer.calls.empty());
        EXPECT_TRUE(previousCalls.empty());
        app.HelpCommand(HELP_FINDER, {});  // left to the previous hook, then to the viewer
        EXPECT_EQ(previousCalls, std::vector<unsigned>{HELP_FINDER});
        EXPECT_EQ(viewer.calls.size(), 1u);
    }
    EXPECT_EQ(THelpBridge::instance(), nullptr);
    app.HelpContext(60);  // the previous hook is back
    EXPECT_EQ(previousCalls.back(), 1u);
    THelpBridge again(app, viewer);  // and a new bridge may be made
}

TEST(HelpBridge, OlderEngineModes)
{
    Fixture f;
    f.bridge->HelpType = htWinhelp;
    EXPECT_TRUE(f.app.HelpCommand(0, {}));
    EXPECT_TRUE(f.viewer.calls.empty());
    f.app.HelpContext(50);
    EXPECT_FALSE(f.viewer.calls.back().html);
    EXPECT_EQ(f.viewer.calls.back().file, "zeph8.hlp");

    f.app.HelpFile = "/opt/z/zeph8.chm";
    f.bridge->HelpType = htMixedMode;
    f.bridge->CHMPopupTopics = "popups.HLP";
    f.app.HelpCommand(HELP_CONTEXTPOPUP, number(7));
    EXPECT_FALSE(f.viewer.calls.back().html);
    EXPECT_EQ(f.viewer.calls.back().file, "/opt/z/popups.HLP");
    f.app.HelpContext(50);
    EXPECT_TRUE(f.viewer.calls.back().html);
    EXPECT_EQ(f.viewer.calls.back().file, "/opt/z/zeph8.chm");

    f.bridge->HelpType = htHTMLhelp;
    f.bridge->ShowType = stMain;  // pop-ups become topics, positions nothing
    size_t before = f.viewer.calls.size();
    EXPECT_FALSE(f.app.HelpCommand(HELP_SETPOPUP_POS, HelpData{0, {}, {1, 1}}));
    EXPECT_EQ(f.viewer.calls.size(), before);
    f.app.HelpCommand(HELP_CONTEXTPOPUP, number(60));
    EXPECT_EQ(f.viewer.calls.back().command, HH_HELP_CONTEXT);
    EXPECT_EQ(f.viewer.calls.back().data.number, 60);
}

// A real help file, written by the test's own writer, read back through chmlib.
class ChmHelp : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string chm = dir / "zeph8.chm";
    void SetUp() override
    {
        test::writeFile(dir / "a.htm", "<html><head><title>Slovníky</title></head><body>Seznam slovníků</body></html>");
        test::writeFile(dir / "b.htm", "<html><head><title>Aktualizace</title></head><body>Update</body></html>");
        test::writeFile(dir / "start.htm", "<html><head><title>Úvod</title></head><body>Start</body></html>");
        test::writeFile(dir / "cs.txt", ".topic 100\r\nKrátká nápověda\r\nk tlačítku.\r\n.topic 101\r\nJiná.\r\n");
        auto r = test::run({"python3", test::supportScript("desk_chm_writer.py"), chm,
                            "/slovniky.htm=" + dir / "a.htm", "/aktualizace.htm=" + dir / "b.htm",
                            "/start.htm=" + dir / "start.htm", "/CSHelp.txt=" + dir / "cs.txt", "@default=start.htm",
                            "@title=Zephlon 8", "@map=50:slovniky.htm", "@map=80:aktualizace.htm", "@map=60:chybi.htm"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
};

TEST_F(ChmHelp, TopicsPopupsAndErrors)
{
    auto file = TChmFile::open(chm);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->title(), "Zephlon 8");
    EXPECT_EQ(file->topicOfContext(50), "/slovniky.htm");
    EXPECT_EQ(file->topicOfContext(51), "");
    EXPECT_NE(file->read("/slovniky.htm")->find("Seznam slovníků"), std::string::npos);

    struct Case {
        unsigned command;
        HelpData data;
        std::string topic;
    } cases[] = {
        {HH_HELP_CONTEXT, number(50), "/slovniky.htm"},
        {HH_HELP_CONTEXT, number(80), "/aktualizace.htm"},
        {HH_HELP_CONTEXT, number(60), "/start.htm"},  // mapped to a topic the file lacks
        {HH_HELP_CONTEXT, number(999), "/start.htm"},
        {HH_DISPLAY_TOC, {}, "/start.htm"},
        {HH_DISPLAY_INDEX, HelpData{0, "aktual", {}}, "/aktualizace.htm"},
    };
    for (const auto& c : cases) {
        HelpPage page = resolveHelpPage(chm, c.command, c.data, nullptr);
        EXPECT_EQ(page.topic, c.topic) << c.command << " " << c.data.number;
        EXPECT_EQ(page.error, "");
    }

    HHPopup popup;
    popup.idString = 100;
    popup.pt = {10, 20};
    HelpPage p = resolveHelpPage(chm + "::/CSHelp.txt", HH_DISPLAY_TEXT_POPUP, number(100), &popup);
    EXPECT_EQ(p.popupText, "Krátká nápověda\nk tlačítku.");
    EXPECT_EQ(p.popupAt, (HelpPoint{10, 20}));
    EXPECT_EQ(p.chmPath, chm);
    popup.idString = 80;  // no text pop-up: the topic of the number
    EXPECT_EQ(resolveHelpPage(chm + "::/CSHelp.txt", HH_DISPLAY_TEXT_POPUP, number(80), &popup).topic, "/aktualizace.htm");

    EXPECT_EQ(resolveHelpPage(dir / "missing.chm", HH_HELP_CONTEXT, number(50), nullptr).error,
              "Soubor nápovědy " + dir / "missing.chm" + " nebyl nalezen.");
    test::writeFile(dir / "bad.chm", "ITSF" + std::string(200, '\x7f'));
    EXPECT_EQ(resolveHelpPage(dir / "bad.chm", HH_HELP_CONTEXT, number(50), nullptr).error,
              "Soubor nápovědy " + dir / "bad.chm" + " nelze otevřít.");
    EXPECT_TRUE(resolveHelpPage("", HH_CLOSE_ALL, {}, nullptr).closeAll);
}
