// The yardstick for the window's start-up: the least a Qt Widgets program can do to show a window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(496, 319);
    window.show();
    return app.exec();
}
