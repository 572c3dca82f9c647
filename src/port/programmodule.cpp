#include "port/programmodule.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace qbx {
namespace {

std::filesystem::path moduleNextTo(const std::filesystem::path& programDir, const std::string& fileName,
                                   bool installed)
{
    return installed ? programDir / QBX_MODULE_INSTALL_DIR / fileName : programDir / fileName;
}

} // namespace

void* openProgramModule(const std::string& fileName, std::string* problem)
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path programDir = error ? std::filesystem::path(".") : program.parent_path();
    for (const bool installed : {false, true}) {
        const std::filesystem::path module = moduleNextTo(programDir, fileName, installed);
        if (!std::filesystem::exists(module, error))
            continue;
        if (void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL))
            return handle;
        *problem = dlerror();
        return nullptr;
    }
    *problem =
        "the file " + moduleNextTo(programDir, fileName, true).lexically_normal().string() + " is missing";
    return nullptr;
}

void* moduleEntry(void* module, const char* name)
{
    return dlsym(module, name);
}

} // namespace qbx
