#include "commandline.h"
#include "home.h"
#include "windowloader.h"

// A sub-command runs in the terminal without creating any GUI application, so it works over
// SSH with no display; only Qt's own options (or none) open the window. The window lives in a
// module loaded only then, which keeps the command line's start-up light.
int main(int argc, char** argv)
{
    qbx::cli::settleHome();
    if (qbx::cli::wantsCommandLine(argc, argv))
        return qbx::cli::run(argc, argv);
    return qbx::app::runWindowModule(argc, argv);
}
