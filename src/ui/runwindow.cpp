#include "runwindow.h"

#include "teskcomm.h"

#include <QApplication>

namespace qbx::ui {

int runWindow(int& argc, char** argv)
{
    QApplication app(argc, argv);
    TeskKit::TeskComm panel;
    panel.setWindowTitle(QStringLiteral("Tesk QBX740 Configuration Utility"));
    panel.show();
    return app.exec();
}

} // namespace qbx::ui
