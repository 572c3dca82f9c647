#include "ui/runwindow.h"

#include "ui/frmmain.h"

#include <QApplication>

namespace qbx::ui {

int runWindow(int& argc, char** argv)
{
    QApplication app(argc, argv);
    frmMain window;
    window.show();
    return app.exec();
}

} // namespace qbx::ui
