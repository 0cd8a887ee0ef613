// The control panel's program entry.
#include "app/dbupdate_hook.h"
#include "app/dictionary_page.h"
#include "app/desktop_parts.h"
#include "app/formcontrol.h"
#include "app/netupdate_hook.h"
#include "desktop/autorun.h"
#include "desktop/one_instance.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8("Zephlon 8 - ovládací panel"));
    app.setProperty("helpFile", "zeph8.chm");
    app.setQuitOnLastWindowClosed(false);  // hidden in the tray is still running

    // A second copy calls the first to the front and ends without a window.
    zeph::desk::TOneInstance oneInstance(QApplication::applicationName().toStdString());
    if (oneInstance.Check(nullptr)) return 0;

    zeph::app::WindowHooks hooks;
    zeph::app::DictionaryPage* dictionaries = nullptr;
    hooks.buildDictionaryPage = [&dictionaries](zeph::app::TFormControl& form, QWidget* page) {
        dictionaries = new zeph::app::DictionaryPage(form.prompter(), form.trayMenu(),
                                                     [&form] { return form.databaseFolderText(); }, page);
        auto* lay = new QVBoxLayout(page);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(dictionaries);
    };
    hooks.dictionaryCount = [&dictionaries] { return int(dictionaries->list().items().size()); };
    hooks.restoreDictionaryList = [&dictionaries](bool silent) { dictionaries->RestoreDictionaryList(silent); };
    hooks.focusDictionaryList = [&dictionaries] { dictionaries->focusList(); };
    // The start-up entry, configured as the window configures it: per user, the bare program name.
    zeph::desk::TAutoRun autorun;
    autorun.setKind(zeph::desk::aekUserRun);
    autorun.setFileName("quelder8");
    autorun.Loaded();
    hooks.setAutorun = [&autorun](bool on, const std::string& fileName) {
        autorun.setFileName(fileName);
        autorun.setAutoRun(on);
    };
    zeph::app::TFormControl form(app.arguments(), hooks);
    zeph::app::InstallDatabaseUpdate(form);
    // The stored fonts, help and the About box.
    zeph::app::DesktopParts desktop(form);
    // The web update engine behind the update button.
    zeph::app::NetUpdatePart netUpdate(form);

    // A later copy's request to come to the front.
    int frontRequests = oneInstance.ListenForFrontRequests();
    if (frontRequests >= 0) {
        auto* notifier = new QSocketNotifier(frontRequests, QSocketNotifier::Read, &form);
        QObject::connect(notifier, &QSocketNotifier::activated, &form, [&] {
            if (oneInstance.TakeFrontRequests()) form.comeToFront();
        });
    }
    form.start();
    // For the start-up benchmark: end once the window has been shown.
    if (qEnvironmentVariableIsSet("ZEPH_QUIT_AFTER_SHOW")) QTimer::singleShot(0, &app, &QApplication::quit);
    return app.exec();
}
