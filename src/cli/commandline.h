#pragma once

#include <QStringList>

#include <ostream>

namespace qbx::cli {

// Whether the arguments ask for the command line rather than the window: anything besides
// Qt's own window options (-platform offscreen, -style fusion, ...), such as a sub-command,
// --help or --version. An argument the window does not know is a usage error of the command
// line, not a window that silently ignores it.
bool wantsCommandLine(int argc, char** argv);

// The arguments without the program's name and without Qt's window options.
QStringList commandLineArguments(const QStringList& arguments);

// Runs the command line without any display: a QCoreApplication at most. Returns the exit
// status.
int run(int argc, char** argv);

// The command line over arguments that follow the program's name, for an application object
// that already exists.
int runCommandLine(const QStringList& arguments, std::ostream& out, std::ostream& err);

} // namespace qbx::cli
