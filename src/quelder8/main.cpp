// Placeholder until the window lands: shows that the build works.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label(QString::fromUtf8("Zephlon 8 - Ovládací panel: okno se připravuje."));
    label.setWindowTitle(QString::fromUtf8("Zephlon 8 - Ovládací panel"));
    label.resize(592, 389);
    label.show();
    return app.exec();
}
