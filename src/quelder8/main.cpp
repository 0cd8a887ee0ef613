// The control panel's program entry.
#include "app/dictionary_page.h"
#include "app/formcontrol.h"

#include <QApplication>
#include <QVBoxLayout>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8("Zephlon 8 - ovládací panel"));
    app.setProperty("helpFile", "zeph8.chm");
    app.setQuitOnLastWindowClosed(false);  // hidden in the tray is still running

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
    zeph::app::TFormControl form(app.arguments(), hooks);
    form.start();
    return app.exec();
}
