// The main window on the offscreen platform, with a scripted prompter.
#include "app/dbupdate_hook.h"
#include "app/dictionary_page.h"
#include "app/netupdate_hook.h"
#include "dbupdate/package.h"
#include "app/formcontrol.h"
#include "catalogue/profiles.h"
#include "app/window_logic.h"
#include "config/settings.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/regini.h"
#include "support/scripted_prompter.h"
#include "support/server_process.h"
#include "support/test_env.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using namespace zeph;
using namespace zeph::app;

namespace {

struct Window {
    test::ScriptedPrompter prompter;
    std::unique_ptr<TFormControl> form;
    int dictionaries = 1;
    int updates = 0, restores = 0;
    std::vector<std::string> urls;
    explicit Window(QStringList args = {"quelder8"}, bool tray = true)
    {
        trayAvailable = [tray] { return tray; };
        WindowHooks h;
        h.dictionaryCount = [this] { return dictionaries; };
        h.restoreDictionaryList = [this](bool) { ++restores; };
        h.runDatabaseUpdate = [this](const std::function<void(const std::string&)>& memo, const std::string&) {
            ++updates;
            memo("Databáze jsou aktuální.");
        };
        h.startApplicationUpdate = [this](const std::string& url) { urls.push_back(url); };
        form = std::make_unique<TFormControl>(args, h);
        form->setPrompter(&prompter);
    }
    template <typename T> T* find(const char* name) { return form->findChild<T*>(name); }
};

std::string text(QLabel* l) { return l->text().toStdString(); }

// Runs act on the next modal dialog once it is open (the caller then blocks in its exec()).
void whenModal(std::function<void(QDialog*)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(d);
        }
    });
    poll->start(10);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { home_ = std::make_unique<test::IsolatedHome>(); }
    void cleanup() { home_.reset(); }

    void layoutAndCaptions()
    {
        Window w;
        QCOMPARE(w.form->windowTitle(), QString::fromUtf8("Zephlon 8 - Ovládací panel"));
        QCOMPARE(w.form->size(), QSize(592, 389));
        auto* pages = w.form->pages();
        QCOMPARE(pages->count(), 3);
        QCOMPARE(pages->tabText(0), QString::fromUtf8("Slovníky"));
        QCOMPARE(pages->tabText(1), QString::fromUtf8("Aktualizace"));
        QCOMPARE(pages->tabText(2), QString::fromUtf8("Nastavení"));
        QCOMPARE(w.find<QPushButton>("Button7")->toolTip(), QString::fromUtf8("Uložit nastavení a ukončit aplikaci"));
        auto lines = w.form->resultMemo()->toPlainText().split('\n');
        QCOMPARE(lines.size(), 9);
        QVERIFY(lines[8].endsWith(QString::fromUtf8(", sekce download a nainstalovat dodatečně.")));
        QVERIFY(w.form->progressBar()->isHidden());
        QCOMPARE(w.find<QSpinBox>("ctCheckPeriodNumber")->minimum(), 7);
        QCOMPARE(w.find<QSpinBox>("ctCheckPeriodNumber")->maximum(), 360);
        QCOMPARE(text(w.form->lastCheckedLabel()), std::string("1.12.2013"));
        if (const char* out = std::getenv("ZEPH_SCREENSHOT_DIR")) {
            for (int i = 0; i < 3; ++i) {
                pages->setCurrentIndex(i);
                w.form->grab().save(QString("%1/page%2.png").arg(out).arg(i));
            }
        }
    }

    void startupDecision_data()
    {
        QTest::addColumn<int>("dicts");
        QTest::addColumn<bool>("reminder");
        QTest::addColumn<int>("daysAgo");
        QTest::addColumn<bool>("runUpdate");
        QTest::addColumn<bool>("minimize");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("timer");
        QTest::addColumn<bool>("shown");
        QTest::newRow("empty list") << 0 << false << 0 << false << true << true << true << true;
        QTest::newRow("reminder due at exactly 30 days") << 2 << true << 30 << false << true << true << true << true;
        QTest::newRow("reminder not yet due") << 2 << true << 29 << false << false << true << false << true;
        QTest::newRow("last check in the future") << 2 << true << -31 << false << false << true << true << true;
        QTest::newRow("runupdate with tray minimise") << 2 << false << 0 << true << true << true << true << true;
        QTest::newRow("minimise to tray") << 2 << false << 0 << false << true << true << false << false;
        QTest::newRow("no tray: never hidden") << 2 << false << 0 << false << true << false << false << true;
    }

    void startupDecision()
    {
        QFETCH(int, dicts); QFETCH(bool, reminder); QFETCH(int, daysAgo); QFETCH(bool, runUpdate);
        QFETCH(bool, minimize); QFETCH(bool, tray); QFETCH(bool, timer); QFETCH(bool, shown);
        ControlSettings s = RestoreSettings();
        s.CheckForUpdates = reminder;
        s.MinimizeToTray = minimize;
        s.CheckPeriod = 30;
        auto last = QDate::currentDate().addDays(-daysAgo);
        s.LastChecked = QString("%1.%2.%3").arg(last.day()).arg(last.month()).arg(last.year()).toStdString();
        SaveSettings(s);
        QStringList args{"quelder8"};
        if (runUpdate) args << "/runupdate";
        Window w(args, tray);
        w.dictionaries = dicts;
        w.form->start();
        QCOMPARE(w.form->initTimer()->isActive(), timer);
        QCOMPARE(w.form->isVisible(), shown);
        w.form->initTimer()->stop();
    }

    void dueReminderAndRunUpdateMakeOneRun()
    {
        ControlSettings s = RestoreSettings();
        s.CheckForUpdates = true;
        s.LastChecked = "1.1.2000";
        SaveSettings(s);
        Window w({"quelder8", "/runupdate"});
        w.form->start();
        w.form->InitTimerTimer();
        QCOMPARE(w.updates, 1);
        QCOMPARE(w.urls.size(), size_t(1));
        QVERIFY(w.urls[0].find("/updates/zeph/update.inf") != std::string::npos);
        // Only the confirmation was asked, no reminder question.
        QCOMPARE(w.prompter.texts(), std::vector<std::string>{"Opravdu chcete zahájit aktualizaci?"});
        QCOMPARE(w.form->pages()->currentWidget(), w.form->updatePage());
        QCOMPARE(text(w.form->lastCheckedLabel()), dt::formatShortDate(dt::today()));
        // A second press during the run starts nothing until the run is done.
        w.form->UpdateButtonClick();
        QCOMPARE(w.updates, 1);
        w.form->NetUpdateThreadUpdateDone();
        w.form->UpdateButtonClick();
        QCOMPARE(w.updates, 2);
    }

    void answeringNoRunsNothing()
    {
        Window w;
        w.prompter.answers = {Answer::No};
        w.form->resultMemo()->setPlainText("keep");
        w.form->UpdateButtonClick();
        QCOMPARE(w.updates, 0);
        QCOMPARE(w.form->resultMemo()->toPlainText(), QString("keep"));
        QVERIFY(w.find<QPushButton>("UpdateButton")->isEnabled());
        // The declined run does not block the next one.
        w.prompter.answers = {Answer::Yes};
        w.form->UpdateButtonClick();
        QCOMPARE(w.updates, 1);
    }

    void statusFilter_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shown");
        QTest::newRow("compiler") << "Compiler : gcc" << 0 << "";
        QTest::newRow("closed") << "Closed Internet connection" << 0 << "";
        QTest::newRow("version found") << "Version based update found" << 0 << "";
        QTest::newRow("vista") << "OS version : Linux (Vista) x (Vista)" << 0 << "OS version : Linux  x ";
        QTest::newRow("start") << "Start update : Threaded update" << 0 << "Kontrola aktualizace aplikace:";
        QTest::newRow("done") << "Threaded update execution done" << 0 << "Konec aktualizace aplikace.";
        QTest::newRow("code 4") << "anything else" << 4 << QString::fromUtf8("Žádná nová aktualizace není momentálně k dispozici.");
        QTest::newRow("code 4 hidden text") << "IE version : 6" << 4 << "";
        QTest::newRow("plain") << "Downloading file" << 1 << "Downloading file";
    }

    void statusFilter()
    {
        QFETCH(QString, status); QFETCH(int, code); QFETCH(QString, shown);
        auto line = filterStatus(status.toStdString(), code);
        QCOMPARE(line.has_value(), !shown.isEmpty());
        if (line) QCOMPARE(QString::fromStdString(*line), shown);
    }

    void progressAndDone()
    {
        Window w;
        w.form->NetUpdateFileProgress("a", 5000000000LL, 10000000000LL);
        QVERIFY(!w.form->progressBar()->isHidden());
        QCOMPARE(w.form->progressBar()->value() * 2, w.form->progressBar()->maximum());
        w.form->NetUpdateThreadUpdateDone();
        QVERIFY(w.form->progressBar()->isHidden());
    }

    void minimiseHidesOnlyWithTray()
    {
        for (bool tray : {true, false}) {
            Window w({"quelder8"}, tray);
            w.form->show();
            w.form->showMinimized();
            QTest::qWait(50);
            QCOMPARE(w.form->isVisible(), !tray);
            if (tray) {
                w.form->toggleFromTray();
                QVERIFY(w.form->isVisible());
                w.form->toggleFromTray();
                QVERIFY(!w.form->isVisible());
            }
        }
    }

    void settingsSavedOnClose_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("window close") << "close";
        QTest::newRow("Zavřít button") << "button";
        QTest::newRow("update engine, hidden in the tray") << "engine";
    }

    void settingsSavedOnClose()
    {
        QFETCH(QString, path);
        {
            Window w;
            w.find<QCheckBox>("ctMinimize")->setChecked(true);
            w.find<QSpinBox>("ctCheckPeriodNumber")->setValue(45);
            w.form->show();
            if (path == "close") w.form->close();
            if (path == "button") w.find<QPushButton>("Button7")->click();
            if (path == "engine") {
                w.form->showMinimized();
                QTest::qWait(50);
                QVERIFY(!w.form->isVisible());
                w.form->NetUpdateAppDoClose();
            }
        }
        auto key = reg::Key::open(reg::Root::CurrentUser, "Software\\Varnholt\\Zephlon8\\Control");
        QVERIFY(key.has_value());
        QCOMPARE(key->getText("FirstStart").value_or(""), std::string("0"));
        QCOMPARE(key->getText("MinimizeToTray").value_or(""), std::string("1"));
        QCOMPARE(key->getText("ctCheckPeriodNumber").value_or(""), std::string("45"));
        QVERIFY(!key->getText("ProgramFolder").value_or("").empty());
    }

    void connectionIndicatorOnlyOnTheUpdatePage()
    {
        qputenv("ZEPH_UPDATE_SERVER", "127.0.0.1:8080");
        Window w;
        w.form->show();
        const QString before = w.form->connectionLabel()->text();
        w.form->pages()->setCurrentWidget(w.form->settingsPage());
        w.form->ConnectionTimerTimer();
        QTest::qWait(200);
        QCOMPARE(w.form->connectionLabel()->text(), before);
        w.form->pages()->setCurrentWidget(w.form->updatePage());
        w.form->ConnectionTimerTimer();
        QTRY_COMPARE_WITH_TIMEOUT(w.form->connectionLabel()->text(), QString::fromUtf8("Připojení k 127.0.0.1: Aktivní"), 5000);
        qunsetenv("ZEPH_UPDATE_SERVER");
    }

    void reloadRebuildsOnEveryShow()
    {
        Window w({"quelder8", "/reload"});
        w.form->show();
        w.form->hide();
        w.form->show();
        QCOMPARE(w.restores, 2);
        Window plain;
        plain.form->show();
        QCOMPARE(plain.restores, 0);
    }

    void restartEndsDictionaryProgramsOnlyWhenAllowed()
    {
        test::TempDir dir;
        const std::string exe = dir / "zeph8";
        QVERIFY(QFile::copy("/bin/sleep", QString::fromStdString(exe)));
        QFile(QString::fromStdString(exe)).setPermissions(QFile::ExeOwner | QFile::ReadOwner);
        QProcess dictionary;
        dictionary.start(QString::fromStdString(exe), {"30"});
        QVERIFY(dictionary.waitForStarted(5000));
        Window w;
        bool allow = true;
        w.prompter.answers = {Answer::No};
        w.form->NetUpdateAppRestart(allow);
        QVERIFY(!allow);
        QVERIFY(!dictionary.waitForFinished(300));
        w.prompter.answers = {Answer::Yes};
        w.form->NetUpdateAppRestart(allow);
        QVERIFY(allow);
        QVERIFY(dictionary.waitForFinished(5000));
    }

    void dictionaryProgramsByName()
    {
        QVERIFY(isDictionaryProgram("/opt/zephlon/zeph8"));
        QVERIFY(isDictionaryProgram("/opt/zephlon/ZEPH8.exe"));
        QVERIFY(!isDictionaryProgram("/opt/zephlon/zeph8x"));
        QVERIFY(!isDictionaryProgram("/usr/bin/quelder8"));
    }

    void dictionaryPageListsSortedAndFeedsTheTrayMenu()
    {
        for (auto [path, name, lang] : {std::tuple{"/d/r.di8", "Rusko-český", "3"}, std::tuple{"/d/a.di8", "Anglicko-český", "0"},
                                        std::tuple{"/d/n.di8", "Německo-český", "1"}}) {
            auto key = reg::Key::open(reg::Root::CurrentUser, std::string(cat::kProfilesKey) + "\\" + cat::ProfileKey(path), true);
            key->setText("DataSource", path);
            key->setText("OriginalDatabaseName", name);
            key->setText("LangCombination", lang);
        }
        test::ScriptedPrompter prompter;
        QMenu tray;
        QWidget host;
        DictionaryPage page(prompter, &tray, [] { return std::string("/nowhere"); }, &host);
        auto* view = page.view();
        QCOMPARE(view->count(), 3);
        QCOMPARE(view->item(0)->text(), QString::fromUtf8("Anglicko-český"));
        QCOMPARE(view->item(2)->text(), QString::fromUtf8("Rusko-český"));
        auto actions = tray.actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[1]->text(), QString::fromUtf8("Německo-český"));
        QCOMPARE(actions[1]->toolTip(), QString("/d/n.di8"));
        auto* run = page.findChild<QAction*>("RunZephlon");
        QVERIFY(!run->isEnabled());
        view->item(1)->setSelected(true);
        QVERIFY(run->isEnabled());
        QCOMPARE(page.findChild<QLabel*>("lblDBName")->text(), QString("/d/n.di8"));
        page.list().Rename(0, "Můj slovník");
        QCOMPARE(tray.actions().size(), 3);
        QCOMPARE(tray.actions()[0]->text(), QString::fromUtf8("Můj slovník"));  // sorted by caption
        QCOMPARE(tray.actions()[0]->toolTip(), QString("/d/a.di8"));
        prompter.answers = {Answer::Yes};
        page.RestoreDictionaryList(false);
        QCOMPARE(view->count(), 0);
        QCOMPARE(tray.actions().size(), 0);
        if (const char* out = std::getenv("ZEPH_SCREENSHOT_DIR")) {
            for (int lang = 0; lang < 6; ++lang) page.list().AddDictionaryItem("/d/" + std::to_string(lang), "Slovník " + std::to_string(lang), lang);
            page.resize(560, 300);
            page.grab().save(QString("%1/dictpage.png").arg(out));
        }
    }

    // The update button with the real database update, didi and the update engine, against one
    // local server that holds both the database catalogue and the engine's control file.
    void updateButtonRunsTheDatabaseUpdateThenTheApplicationUpdate()
    {
        test::TempDir base;
        const std::string www = base / "www", dbs = base / "dbs", scratch = base / "new", app = base / "app";
        for (auto& d : {www + "/updates/zeph/db", dbs, scratch, app}) QVERIFY(fs::createDirectories(d));
        auto makeDb = [](const std::string& path, const std::string& date) {
            return test::run({test::binDir() + "/make-di8", path, "Version=8.0", "Name=BAS Anglicko-český", "Lang1ID=1",
                              "Lang2ID=0", "LangCombination=0", "LangShift=0", "AvailableDicts=0", "Date=" + date})
                       .exitCode == 0;
        };
        QVERIFY(makeDb(dbs + "/angl.di8", "2007-06-01T00:00:00"));
        QVERIFY(makeDb(scratch + "/angl.di8", "2008-01-01T00:00:00"));
        dbu::PackFile(scratch + "/angl.di8", www + "/updates/zeph/db/ANGLBAS.dzp", "angl.di8");
        test::writeFile(scratch + "/cat.txt", "[UDates]\r\nAB=39448\r\nABF=anglbas\r\nABS=0\r\n");
        dbu::PackFile(scratch + "/cat.txt", www + "/updates/zeph/updatedb.dzp", "updatedb.inf");
        test::writeFile(www + "/big.bin", std::string(300000, 'z'));

        auto server = std::make_unique<test::ServerProcess>(
            std::vector<std::string>{"python3", test::supportScript("nu_http_server.py"), www});
        const std::string host = server->hostPort();
        qputenv("ZEPH_UPDATE_SERVER", QByteArray::fromStdString(host));
        test::writeFile(www + "/updates/zeph/update.inf", "[update]\nnewversion=99.0.0.0\nlocalversion=" + test::binDir() +
                                                           "/didi\n[files]\ncount=1\n[file1]\nurl=http://" + host +
                                                           "/big.bin\ntargetdir=" + app + "\ndescr=big\nunconditional=1\n");
        RegIniFile(kProductKey).writeString(kControlSection, "DatabaseFolder", dbs);

        Window w;
        InstallDatabaseUpdate(*w.form);
        NetUpdatePart engine(*w.form);
        // Yes to start, No to stopping at the found update, Yes to the download, then the boxes.
        w.prompter.answers = {Answer::Yes, Answer::No, Answer::Yes};
        QList<int> progress;
        QObject::connect(w.form->progressBar(), &QProgressBar::valueChanged, [&](int v) {
            if (!w.form->progressBar()->isHidden()) progress << v;
        });
        w.form->UpdateButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(w.form->resultMemo()->toPlainText().contains(QString::fromUtf8("Konec aktualizace aplikace.")),
                                 30000);
        server.reset();
        qunsetenv("ZEPH_UPDATE_SERVER");

        const QStringList memo = w.form->resultMemo()->toPlainText().split('\n');
        const int dbStart = memo.indexOf(QString::fromUtf8("Kontrola aktualizace databází...")),
                  dbEnd = memo.indexOf(QString::fromUtf8("Aktualizace databází ukončena.")),
                  appStart = memo.indexOf(QString::fromUtf8("Kontrola aktualizace aplikace:"));
        QVERIFY2(dbStart == 0 && dbStart < dbEnd && dbEnd < appStart, qPrintable(memo.join(" | ")));
        QVERIFY(memo.contains(QString::fromStdString(dbs + "/angl.old")));
        // The filter keeps the engine's own bookkeeping out of the memo.
        for (const QString& line : memo) QVERIFY2(!line.contains("Compiler :") && !line.contains("Closed Internet"), qPrintable(line));
        QCOMPARE(test::readFile(dbs + "/angl.di8"), test::readFile(scratch + "/angl.di8"));
        QCOMPARE(test::readFile(app + "/big.bin").size(), size_t(300000));
        QVERIFY2(progress.size() > 2 && progress.first() < progress.last(), qPrintable(QString::number(progress.size())));
        QVERIFY(w.form->progressBar()->isHidden());
        QVERIFY(w.find<QPushButton>("UpdateButton")->isEnabled());
        QVERIFY(w.prompter.texts().size() >= 4);
        QCOMPARE(w.prompter.texts()[3], std::string("Aktualizovaných databází: 1"));
    }

    // The engine's dialogs: the login form, what's new, the licence and an information page.
    void engineDialogs()
    {
        test::ScriptedPrompter base;
        QWidget owner;
        NetUpdateDialogs dialogs(base, &owner);

        LoginRequest login{"Connect to example", "", ""};
        whenModal([](QDialog* d) {
            QCOMPARE(d->size(), QSize(328, 223));
            d->findChild<QLineEdit*>("Edit1")->setText("jana");
            QCOMPARE(d->findChild<QLineEdit*>("Edit2")->echoMode(), QLineEdit::Password);
            d->findChild<QLineEdit*>("Edit2")->setText("tajne");
            d->findChild<QPushButton*>("Button1")->click();
        });
        QVERIFY(dialogs.login(login));
        QCOMPARE(login.user + ":" + login.password, std::string("jana:tajne"));
        whenModal([](QDialog* d) { d->findChild<QPushButton*>("Button2")->click(); });
        QVERIFY(!dialogs.login(login));

        TextDialogRequest news{"What's new", "line one\r\nline two\rline three"};
        whenModal([](QDialog* d) {
            QCOMPARE(d->size(), QSize(400, 400));
            auto* memo = d->findChild<QPlainTextEdit*>();
            QVERIFY(memo->isReadOnly());
            QCOMPARE(memo->toPlainText(), QString("line one\nline two\nline three"));
            QCOMPARE(d->findChildren<QPushButton*>().size(), 2);
            for (auto* b : d->findChildren<QPushButton*>())
                if (b->text() == "Cancel") b->click();
        });
        QVERIFY(!dialogs.showText(news));

        TextDialogRequest licence{"Licence", "terms", true};
        // Closed as it opens: the second choice is the one selected at first.
        whenModal([](QDialog* d) { d->findChild<QPushButton*>()->click(); });
        QVERIFY(!dialogs.showText(licence));
        whenModal([](QDialog* d) {
            for (auto* r : d->findChildren<QRadioButton*>())
                if (r->text() == "I accept") r->setChecked(true);
            d->findChild<QPushButton*>()->click();
        });
        QVERIFY(dialogs.showText(licence));

        test::TempDir dir;
        test::writeFile(dir / "info.html", "<html><body><p>Nová verze je připravena.</p></body></html>");
        QString shown;
        whenModal([&shown](QDialog* d) {
            shown = d->findChild<QTextBrowser*>()->toPlainText();
            d->accept();
        });
        QVERIFY(dialogs.showHtml("file://" + dir / "info.html", ""));
        QCOMPARE(shown, QString::fromUtf8("Nová verze je připravena."));
        QVERIFY(!dialogs.showHtml(dir / "missing.html", ""));
        // From a web server, fetched while the window keeps handling its events.
        test::ServerProcess server({"python3", test::supportScript("nu_http_server.py"), dir.path()});
        shown.clear();
        whenModal([&shown](QDialog* d) {
            shown = d->findChild<QTextBrowser*>()->toPlainText();
            d->accept();
        });
        QVERIFY(dialogs.showHtml("http://" + server.hostPort() + "/info.html", ""));
        QCOMPARE(shown, QString::fromUtf8("Nová verze je připravena."));
        QVERIFY(!dialogs.showHtml("http://" + server.hostPort() + "/missing.html", ""));
    }

private:
    std::unique_ptr<test::IsolatedHome> home_;
};

int main(int argc, char** argv)
{
    zeph::test::isolateProcessEnvironment();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    WindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_window.moc"
