#include "app/windowloader.h"

#include "port/programmodule.h"

#include <cstdio>
#include <string>

namespace qbx::app {
namespace {

using RunWindow = int (*)(int*, char**);

} // namespace

int runWindowModule(int& argc, char** argv)
{
    std::string problem;
    if (void* module = qbx::openProgramModule(QBX_WINDOW_MODULE_NAME, &problem)) {
        if (auto run = reinterpret_cast<RunWindow>(qbx::moduleEntry(module, "qbx7config_run_window")))
            return run(&argc, argv); // the module stays loaded until the program ends
        problem = QBX_WINDOW_MODULE_NAME " is not the window of this program";
    }
    std::fprintf(stderr,
                 "qbx7config: cannot open the window: %s\nReinstall the program, or use a command "
                 "such as 'qbx7config --help' without the window.\n",
                 problem.c_str());
    return 1;
}

} // namespace qbx::app
