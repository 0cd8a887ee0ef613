// The reference of the start-up benchmark: a bare Qt Widgets window, shown, then the program ends.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget w;
    w.resize(592, 389);
    w.show();
    QTimer::singleShot(0, &app, &QApplication::quit);
    return app.exec();
}
