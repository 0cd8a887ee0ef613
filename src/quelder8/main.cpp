// The control panel's program entry.
#include "app/formcontrol.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8("Zephlon 8 - ovládací panel"));
    app.setProperty("helpFile", "zeph8.chm");
    app.setQuitOnLastWindowClosed(false);  // hidden in the tray is still running
    zeph::app::TFormControl window(app.arguments());
    window.start();
    return app.exec();
}
