#include "app/windowloader.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace qbx::app {
namespace {

using RunWindow = int (*)(int*, char**);

// Beside the program in the build tree; in its libexec folder once installed.
std::filesystem::path moduleNextTo(const std::filesystem::path& programDir, bool installed)
{
    const std::filesystem::path name = QBX_WINDOW_MODULE_NAME;
    return installed ? programDir / QBX_WINDOW_MODULE_INSTALL_DIR / name : programDir / name;
}

} // namespace

int runWindowModule(int& argc, char** argv)
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path programDir = error ? std::filesystem::path(".") : program.parent_path();

    std::string problems;
    for (const bool installed : {false, true}) {
        const std::filesystem::path module = moduleNextTo(programDir, installed);
        if (!std::filesystem::exists(module, error))
            continue;
        void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            problems = dlerror();
            break;
        }
        if (auto run = reinterpret_cast<RunWindow>(dlsym(handle, "qbx7config_run_window")))
            return run(&argc, argv); // the module stays loaded until the program ends
        problems = module.string() + " is not the window of this program";
        break;
    }
    if (problems.empty())
        problems = "the file " + moduleNextTo(programDir, true).lexically_normal().string() + " is missing";
    std::fprintf(stderr,
                 "qbx7config: cannot open the window: %s\nReinstall the program, or use a command "
                 "such as 'qbx7config --help' without the window.\n",
                 problems.c_str());
    return 1;
}

} // namespace qbx::app
