// The desktop components in the real main window on the offscreen platform.
#include "app/about_box.h"
#include "app/desktop_parts.h"
#include "app/formcontrol.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "support/scripted_prompter.h"
#include "support/server_process.h"
#include "support/test_env.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QtTest>
#include <gtest/gtest.h>

using namespace zeph;
using namespace zeph::app;

namespace {

void ensureApp()
{
    static int argc = 1;
    static char name[] = "test_desktop_qt";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

struct Call {
    std::string file;
    unsigned command;
    int64_t number;
};

class RecordingViewer : public desk::THelpViewer {
public:
    std::vector<Call> calls;
    bool htmlHelp(const std::string& file, unsigned command, const desk::HelpData& data, const desk::HHPopup*) override
    {
        calls.push_back({file, command, data.number});
        return true;
    }
    bool winHelp(const std::string& file, unsigned command, const desk::HelpData& data) override
    {
        calls.push_back({file, command, data.number});
        return true;
    }
};

struct Window {
    test::ScriptedPrompter prompter;
    RecordingViewer viewer;
    std::unique_ptr<TFormControl> form;
    std::unique_ptr<DesktopParts> parts;
    explicit Window(bool recordHelp = true)
    {
        ensureApp();
        trayAvailable = [] { return false; };
        form = std::make_unique<TFormControl>(QStringList{"quelder8"}, WindowHooks{});
        form->setPrompter(&prompter);
        parts = std::make_unique<DesktopParts>(*form, &prompter, recordHelp ? &viewer : nullptr);
    }
    template <typename T> T* find(const char* name) { return form->findChild<T*>(name); }
};

std::string exportGeneral()
{
    auto r = test::run({test::binDir() + "/zephtool", "reg", "export", "HKCU\\Software\\Varnholt\\Zephlon8\\general"});
    return r.out;
}

std::string writeHelpFile(const test::TempDir& dir)
{
    test::writeFile(dir / "a.htm", "<html><head><title>Slovníky</title></head><body><p>Seznam slovníků</p></body></html>");
    test::writeFile(dir / "start.htm", "<html><head><title>Úvod</title></head><body>Start</body></html>");
    test::writeFile(dir / "cs.txt", ".topic 100\r\nKrátká nápověda.\r\n");
    std::string chm = dir / "zeph8.chm";
    auto r = test::run({"python3", test::supportScript("desk_chm_writer.py"), chm, "/slovniky.htm=" + dir / "a.htm",
                        "/start.htm=" + dir / "start.htm", "/CSHelp.txt=" + dir / "cs.txt", "@default=start.htm",
                        "@title=Zephlon 8", "@map=50:slovniky.htm"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return chm;
}

}  // namespace

TEST(DesktopWindow, ChosenFontIsAppliedSavedAndRestored)
{
    test::IsolatedHome home;
    {
        Window w;
        auto* caption = w.find<QPushButton>("ctSampleCaptionFont");
        auto* data = w.find<QPushButton>("ctSampleDataFont");
        EXPECT_EQ(caption->font().family(), "Tahoma");
        EXPECT_TRUE(data->font().bold());
        EXPECT_FALSE(reg::Key::exists(reg::Root::CurrentUser, "Software\\Varnholt\\Zephlon8\\general"));  // first start: nothing written

        std::vector<FontSpec> offered;
        w.parts->fonts().dialog = [&](const FontSpec& current, QWidget*) -> std::optional<FontSpec> {
            offered.push_back(current);
            if (offered.size() == 2) return std::nullopt;  // the data font dialog is cancelled
            FontSpec f = current;
            f.name = "DejaVu Sans";
            f.sizePt = 12;
            f.bold = f.italic = true;
            return f;
        };
        caption->click();
        ASSERT_EQ(offered.size(), 1u);
        EXPECT_EQ(offered[0].name, "Tahoma");
        EXPECT_EQ(offered[0].charset, 238);
        EXPECT_TRUE(caption->font().bold() && caption->font().italic());
        EXPECT_EQ(caption->font().family(), "DejaVu Sans");
        EXPECT_EQ(w.find<QLabel>("lblPopis")->font().family(), "DejaVu Sans");
        EXPECT_EQ(w.form->font().family(), "DejaVu Sans");  // the whole window
        EXPECT_EQ(w.form->font().pointSize(), 12);
        std::string out = exportGeneral();
        EXPECT_NE(out.find("\"ctSampleCaptionFont.Font.Style\"=\"[fsBold,fsItalic]\""), std::string::npos) << out;
        EXPECT_NE(out.find("\"ctSampleCaptionFont.Font.Height\"=dword:fffffff0"), std::string::npos) << out;
        EXPECT_NE(out.find("\"ctSampleCaptionFont.Font.Name\"=\"DejaVu Sans\""), std::string::npos) << out;

        data->click();
        EXPECT_EQ(offered.size(), 2u);
        EXPECT_TRUE(data->font().bold());
        EXPECT_TRUE(w.prompter.prompts.empty());
    }
    {
        Window w;  // the next start
        EXPECT_EQ(w.find<QPushButton>("ctSampleCaptionFont")->font().family(), "DejaVu Sans");
        EXPECT_TRUE(w.find<QPushButton>("ctSampleCaptionFont")->font().italic());
        EXPECT_EQ(w.form->font().family(), "DejaVu Sans");
        EXPECT_TRUE(w.find<QLineEdit>("edData")->font().bold());
        EXPECT_NE(w.find<QLineEdit>("edData")->styleSheet().indexOf("#ff0000"), -1);  // red, as designed

        w.parts->fonts().dialog = [](const FontSpec& current, QWidget*) -> std::optional<FontSpec> {
            FontSpec f = current;
            f.bold = false;
            return f;
        };
        w.find<QPushButton>("ctSampleDataFont")->click();
        EXPECT_FALSE(w.find<QLineEdit>("edData")->font().bold());
        EXPECT_NE(exportGeneral().find("\"ctSampleDataFont.Font.Style\"=\"[]\""), std::string::npos);
    }
}

TEST(DesktopWindow, HelpButtonAsksForTheTopicOfThePageShowing)
{
    test::IsolatedHome home;
    Window w;
    auto* help = w.find<QPushButton>("Button6");
    const int contexts[] = {50, 80, 60};
    for (int page = 0; page < 3; ++page) {
        w.form->pages()->setCurrentIndex(page);
        help->click();
        ASSERT_EQ(w.viewer.calls.size(), size_t(page + 1));
        EXPECT_EQ(w.viewer.calls.back().file, folders::programFolder() + "zeph8.chm");
        EXPECT_EQ(w.viewer.calls.back().command, desk::HH_HELP_CONTEXT);
        EXPECT_EQ(w.viewer.calls.back().number, contexts[page]);
    }
}

TEST(DesktopWindow, HelpWindowShowsTheTopicsOfARealHelpFile)
{
    test::IsolatedHome home;
    ensureApp();
    test::TempDir dir;
    std::string chm = writeHelpFile(dir);
    test::ScriptedPrompter prompter;
    ChmHelpViewer viewer(&prompter);

    EXPECT_TRUE(viewer.htmlHelp(chm, desk::HH_HELP_CONTEXT, {50, {}, {}}, nullptr));
    ASSERT_TRUE(viewer.window());
    EXPECT_TRUE(viewer.window()->isVisible());
    EXPECT_EQ(viewer.currentTopic(), "/slovniky.htm");
    EXPECT_NE(static_cast<QTextBrowser*>(viewer.window())->toPlainText().indexOf(QString::fromUtf8("Seznam slovníků")), -1);
    EXPECT_EQ(viewer.window()->windowTitle(), "Zephlon 8");

    desk::HHPopup popup;
    popup.idString = 100;
    popup.pt = {30, 40};
    EXPECT_TRUE(viewer.htmlHelp(chm + "::/CSHelp.txt", desk::HH_DISPLAY_TEXT_POPUP, {100, {}, {}}, &popup));
    ASSERT_TRUE(viewer.popup());
    EXPECT_EQ(static_cast<QLabel*>(viewer.popup())->text(), QString::fromUtf8("Krátká nápověda."));
    EXPECT_EQ(viewer.popup()->pos(), QPoint(30, 40));

    EXPECT_FALSE(viewer.htmlHelp("", desk::HH_CLOSE_ALL, {}, nullptr));
    EXPECT_FALSE(viewer.window()->isVisible());
    EXPECT_TRUE(prompter.prompts.empty());

    EXPECT_FALSE(viewer.htmlHelp(dir / "none.chm", desk::HH_HELP_CONTEXT, {50, {}, {}}, nullptr));
    ASSERT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(prompter.prompts[0].caption, "Nápověda");
    EXPECT_EQ(prompter.prompts[0].text, "Soubor nápovědy " + dir / "none.chm" + " nebyl nalezen.");
}

TEST(DesktopWindow, HelpWithoutAHelpFileSaysSo)
{
    test::IsolatedHome home;
    Window w(false);  // our own help window; no zeph8.chm lies beside the test program
    w.find<QPushButton>("Button6")->click();
    ASSERT_EQ(w.prompter.prompts.size(), 1u);
    EXPECT_EQ(w.prompter.prompts[0].text, "Soubor nápovědy " + folders::programFolder() + "zeph8.chm nebyl nalezen.");
}

TEST(DesktopWindow, AboutBoxWithAndWithoutAVersion)
{
    ensureApp();
    struct Case {
        std::string version;
        std::string mail;
    } cases[] = {
        {"8.0.3.12", "mailto:podpora@varnholt.cz?subject=Zephlon - Překladové slovníky, ver. 8.0.3.12&body="},
        {"", "mailto:podpora@varnholt.cz?subject=Zephlon - Překladové slovníky&body="},
    };
    for (const auto& c : cases) {
        TFrmAbout2 box;
        std::vector<std::string> opened;
        box.openAddress = [&](const std::string& a) { opened.push_back(a); };
        box.versionText = c.version;
        box.copyrightText = kMakerCopyright;
        box.show();
        EXPECT_EQ(box.size(), QSize(381, 198));
        EXPECT_EQ(box.windowTitle(), "O aplikaci");
        EXPECT_EQ(box.Label9->isVisible(), !c.version.empty());
        EXPECT_EQ(box.lblVersion->text().toStdString(), c.version);
        EXPECT_TRUE(box.Label3->isVisible());
        EXPECT_EQ(box.lblCopyRight->text().toStdString(), kMakerCopyright);
        EXPECT_EQ(box.findChild<QPushButton*>("Button1")->geometry(), QRect(152, 164, 75, 25));
        QTest::mouseClick(box.Label7, Qt::LeftButton);
        QTest::mouseClick(box.Label8, Qt::LeftButton);
        ASSERT_EQ(opened.size(), 2u);
        EXPECT_EQ(opened[0], c.mail);
        EXPECT_EQ(opened[1], kMakerWeb);
        box.findChild<QPushButton*>("Button1")->click();
        EXPECT_EQ(box.result(), QDialog::Accepted);
    }
    TFrmAbout2 bare;  // without a copyright text "Copyright" hides too
    bare.show();
    EXPECT_FALSE(bare.Label3->isVisible());
}
