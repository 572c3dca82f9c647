#include "app/windowloader.h"
#include "cli/commandline.h"
#include "cli/home.h"

#include <cstdio>
#include <vector>

// A sub-command runs in the terminal without creating any GUI application, so it works over
// SSH with no display; only Qt's own options (or none) open the window. The window lives in a
// module loaded only then, which keeps the command line's start-up light.
int main(int argc, char** argv)
{
    qbx::cli::settleHome();
    if (qbx::cli::wantsCommandLine(argc, argv))
        return qbx::cli::run(argc, argv);
    if (qbx::cli::windowHasNoDisplay(argc, argv)) {
        // Qt would abort here with a core dump; say what to do instead.
        std::fputs(
            "qbx7config: there is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY "
            "is set).\nWithout a desktop, use the command line: 'qbx7config --help' lists its commands; "
            "or show the window on a virtual display: 'xvfb-run qbx7config'.\n",
            stderr);
        return 1;
    }
    QByteArrayList arguments = qbx::cli::windowArguments(argc, argv);
    std::vector<char*> qtArgv;
    for (QByteArray& argument : arguments)
        qtArgv.push_back(argument.data());
    qtArgv.push_back(nullptr);
    int qtArgc = int(arguments.size());
    return qbx::app::runWindowModule(qtArgc, qtArgv.data());
}
