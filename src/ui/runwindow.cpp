#include "ui/runwindow.h"

#include "port/stopsignals.h"
#include "ui/frmmain.h"

#include <QApplication>

namespace qbx::ui {

int runWindow(int& argc, char** argv)
{
    QApplication app(argc, argv);
    const StopSignals stop;
    frmMain window;
    // Logging out, or kill, closes the window as its Close button does: what it keeps is kept.
    QObject::connect(&stop, &StopSignals::requested, &window, &QWidget::close);
    window.show();
    return app.exec();
}

} // namespace qbx::ui
