#pragma once

#include <string>

namespace qbx {

// Opens one of the program's modules by its file name ("qbx7config-window.so"): beside the
// program in the build tree, in its libexec folder once installed. It stays loaded until the
// program ends. Null when it cannot be opened, with *problem saying why.
void* openProgramModule(const std::string& fileName, std::string* problem);

// The address of a module's entry point; null when the module has none of that name.
void* moduleEntry(void* module, const char* name);

} // namespace qbx
