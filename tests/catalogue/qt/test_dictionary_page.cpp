// The page "Slovníky" in Qt: starting points, menus, buttons, rename in place, tray menu.
#include "app/dictionary_page.h"
#include "../di8_fixture.h"
#include "support/scripted_prompter.h"
#include "support/test_env.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace zeph;
using namespace zeph::app;

namespace {

// A program folder whose zeph8 appends its arguments, one a line, and "--" to zeph8.log.
struct RecordingProgram {
    test::TempDir dir{"zeph-prog dir"};
    RecordingProgram()
    {
        test::writeFile(dir / "zeph8",
                        "#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; echo --; } >> \"$0.log\"\n");
        chmod((dir / "zeph8").c_str(), 0755);
    }
    // The runs recorded so far, once there are n of them.
    std::vector<std::string> runs(size_t n)
    {
        std::vector<std::string> out;
        for (int i = 0; i < 250; ++i) {
            out.clear();
            std::string log = test::readFile(dir / "zeph8.log"), run;
            for (size_t pos = 0, end; (end = log.find("--\n", pos)) != std::string::npos; pos = end + 3)
                out.push_back(log.substr(pos, end - pos));
            if (out.size() >= n) break;
            QTest::qWait(20);
        }
        return out;
    }
};

}  // namespace

class DictionaryPageTest : public QObject {
    Q_OBJECT
private slots:
    void init() { home_ = std::make_unique<test::IsolatedHome>(); }
    void cleanup() { home_.reset(); }

    void layoutActionsAndMenus()
    {
        test::ScriptedPrompter prompter;
        QMenu tray;
        DictionaryPage page(prompter, &tray, [] { return std::string(); }, nullptr);
        QStringList buttons;
        for (auto* b : page.findChildren<QPushButton*>()) buttons << b->objectName() + "=" + b->text();
        QCOMPARE(buttons, QStringList({"Button2=Obnovit", "RunButton=Spustit!", "AddProfileButton=Přidat",
                                       "DeleteButton=Odebrat", "Button3=Vlastnosti...",
                                       "ctShortcutButton=Zástupce na plochu"}));
        QCOMPARE(page.findChild<QPushButton*>("Button2")->toolTip(),
                 QString::fromUtf8("Obnovit výchozí seznam slovníkových databází"));
        auto* menu = page.findChild<QMenu*>("ListViewMenu");
        QStringList items;
        for (auto* a : menu->actions()) items << (a->isSeparator() ? QString("-") : a->objectName());
        QCOMPARE(items, QStringList({"RunZephlon", "-", "AddProfile", "DeleteProfile", "-", "Properties", "CreateShortCut"}));
        for (const char* name : {"DeleteProfile", "Properties", "CreateShortCut", "RunZephlon"})
            QVERIFY2(!page.findChild<QAction*>(name)->isEnabled(), name);
        QVERIFY(page.findChild<QAction*>("AddProfile")->isEnabled());
        QCOMPARE(page.view()->iconSize(), QSize(32, 32));
        QSet<size_t> flags;
        for (int lang = 0; lang < 6; ++lang) {
            QImage img = languageIcon(lang).pixmap(32, 32).toImage();
            QCOMPARE(img.size(), QSize(32, 32));
            flags.insert(qHashBits(img.constBits(), size_t(img.sizeInBytes())));
        }
        QCOMPARE(flags.size(), 6);  // six different flags
    }

    void theSameStartCommandFromAllFiveStartingPoints()
    {
        test::TempDir data;
        std::string db = test::makeDi8(data / "my dicts/ac.di8", {"Name=Anglicko-český", "LangCombination=0"});
        test::makeDi8(data / "my dicts/de.di8", {"Name=Německo-český", "LangCombination=1"});
        test::ScriptedPrompter prompter;
        prompter.files = {{db, data / "my dicts/de.di8"}};
        RecordingProgram prog;
        QMenu tray;
        QWidget window;
        DictionaryPage page(prompter, &tray, [] { return std::string(); }, &window);
        page.setProgramFolder(prog.dir.path());
        window.resize(600, 400);
        page.resize(600, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        page.findChild<QPushButton*>("AddProfileButton")->click();
        QCOMPARE(prompter.prompts.at(0).kind, std::string("openFiles"));
        QCOMPARE(prompter.prompts.at(0).text, prog.dir.path() + "|Soubory slovníků (*.di8)|*.di8");
        QListWidget* view = page.view();
        QCOMPARE(view->count(), 2);
        QCOMPARE(tray.actions().size(), 2);

        // Nothing selected: "Spustit!" starts nothing.
        page.RunZephlonExecute();
        view->setCurrentItem(view->item(0));
        QVERIFY(page.findChild<QAction*>("RunZephlon")->isEnabled());
        QCOMPARE(page.findChild<QLabel*>("lblDBName")->text(), QString::fromStdString(db));

        page.findChild<QPushButton*>("RunButton")->click();
        QCOMPARE(prog.runs(1).size(), size_t(1));
        // A double click as the window system delivers it: press, release, double click, release.
        QPoint at = view->visualItemRect(view->item(0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(prog.runs(2).size(), size_t(2));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(prog.runs(3).size(), size_t(3));
        page.findChild<QAction*>("RunZephlon")->trigger();  // the list's pop-up menu holds this action
        QCOMPARE(prog.runs(4).size(), size_t(4));
        tray.actions().at(0)->trigger();
        auto runs = prog.runs(5);
        QCOMPARE(runs.size(), size_t(5));
        for (auto& r : runs) QCOMPARE(r, db + "\nAnglicko-český\n");
        QCOMPARE(tray.actions().at(0)->toolTip(), QString::fromStdString(db));
    }

    void renameInPlaceReachesTrayStartAndLauncher()
    {
        test::TempDir data;
        std::string db = test::makeDi8(data / "ru.di8", {"Name=Rusko-český", "LangCombination=3"});
        test::ScriptedPrompter prompter;
        RecordingProgram prog;
        QMenu tray;
        DictionaryPage page(prompter, &tray, [] { return std::string(); }, nullptr);
        page.setProgramFolder(prog.dir.path());
        QVERIFY(page.list().RegisterDatabase(db));
        QListWidget* view = page.view();
        view->setCurrentItem(view->item(0));
        view->item(0)->setText(QString::fromUtf8("Ruský & můj"));  // as the in-place editor commits
        QTest::qWait(0);
        QCOMPARE(tray.actions().at(0)->data().toString(), QString::fromUtf8("Ruský & můj"));
        QCOMPARE(tray.actions().at(0)->text(), QString::fromUtf8("Ruský && můj"));
        tray.actions().at(0)->trigger();
        QCOMPARE(prog.runs(1).at(0), db + "\nRuský & můj\n");
        view->setCurrentItem(view->item(0));
        page.findChild<QAction*>("CreateShortCut")->trigger();
        QVERIFY(test::readFile(home_->path() + "/Desktop/Ruský & můj.desktop").find("Name=Ruský & můj\n") != std::string::npos);

        view->item(0)->setText("");  // emptied: the name the database had when added
        QTest::qWait(0);
        QCOMPARE(view->item(0)->text(), QString::fromUtf8("Rusko-český"));
        QCOMPARE(tray.actions().at(0)->data().toString(), QString::fromUtf8("Rusko-český"));
    }

    void propertiesAndRemovalFromTheButtons()
    {
        test::TempDir data;
        std::string db = test::makeDi8(data / "fr.di8", {"Name=Francouzsko-český", "Lang1ID=3", "LangCombination=2"});
        test::ScriptedPrompter prompter;
        QMenu tray;
        DictionaryPage page(prompter, &tray, [] { return std::string(); }, nullptr);
        QVERIFY(page.list().RegisterDatabase(db));
        page.view()->setCurrentItem(page.view()->item(0));
        page.findChild<QPushButton*>("Button3")->click();
        QCOMPARE(prompter.prompts.size(), size_t(1));
        QCOMPARE(prompter.prompts[0].caption, std::string("Vlastnosti databáze"));
        QVERIFY(prompter.prompts[0].text.find("Kombinace: Francouzsko-český\r\n") != std::string::npos);
        QVERIFY(QApplication::overrideCursor() == nullptr);  // the hourglass is gone again

        prompter.answers = {Answer::Yes};
        page.findChild<QPushButton*>("DeleteButton")->click();
        QCOMPARE(page.view()->count(), 0);
        QCOMPARE(tray.actions().size(), 0);
        QVERIFY(!page.findChild<QAction*>("RunZephlon")->isEnabled());
        QCOMPARE(page.findChild<QLabel*>("lblDBName")->text(), QString());
        QVERIFY(test::readFile(db).size() > 0);  // the database file is not touched
        DictionaryPage again(prompter, &tray, [] { return std::string(); }, nullptr);
        QCOMPARE(again.view()->count(), 0);
    }

private:
    std::unique_ptr<test::IsolatedHome> home_;
};

int main(int argc, char** argv)
{
    zeph::test::isolateProcessEnvironment();
    QApplication app(argc, argv);
    DictionaryPageTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_dictionary_page.moc"
