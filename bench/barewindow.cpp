// A bare Qt window, the yardstick for the program's start-up: an application object and one
// empty widget, shown.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(640, 480);
    window.show();
    return app.exec();
}
