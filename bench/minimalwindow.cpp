// The yardstick for the window's start-up: the least a Qt Widgets program can do to show a window.
// With --label the window holds one label, the least a window with any content can do.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv)
{
    const bool withLabel = argc > 1 && std::strcmp(argv[1], "--label") == 0;
    QApplication app(argc, argv);
    QWidget window;
    window.resize(496, 319);
    if (withLabel) {
        auto* label = new QLabel(QStringLiteral("QBX740 ticket printer: settings of the printer"), &window);
        label->move(16, 16);
    }
    window.show();
    return app.exec();
}
