#pragma once

namespace qbx::app {

// Loads the window module and runs the window. Returns the exit status; when the module cannot
// be loaded, says so on standard error and returns 1.
int runWindowModule(int& argc, char** argv);

} // namespace qbx::app
