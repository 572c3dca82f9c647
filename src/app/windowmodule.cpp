// The window, built as a module that the program loads only when it opens the window, so that
// the command line starts without loading any GUI library.
#include "port/serialmodule.h"
#include "port/serialtransport.h"
#include "ui/runwindow.h"

extern "C" __attribute__((visibility("default"))) int qbx7config_run_window(int* argc, char** argv)
{
    qbx::useLinkedSerialTransport(&qbx::newSerialTransport); // the panel lists serial lines with it anyway
    return qbx::ui::runWindow(*argc, argv);
}
