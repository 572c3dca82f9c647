#pragma once

namespace qbx::cli {

// Whether the arguments ask for the command line rather than the window: a sub-command, or
// --help or --version.
bool wantsCommandLine(int argc, char** argv);

// Runs the command line without any display. Returns the exit status.
int run(int argc, char** argv);

} // namespace qbx::cli
