#include "commandline.h"
#include "runwindow.h"

// A sub-command runs in the terminal without creating any GUI application, so it works over
// SSH with no display; only Qt's own options (or none) open the window.
int main(int argc, char** argv)
{
    if (qbx::cli::wantsCommandLine(argc, argv))
        return qbx::cli::run(argc, argv);
    return qbx::ui::runWindow(argc, argv);
}
