#pragma once

#include <QByteArrayList>

#include <ostream>

namespace qbx::cli {

// Whether the arguments ask for the command line rather than the window: anything but Qt's own
// window options (-platform offscreen, -style fusion, ...) alone. Window options are taken only
// without a command; beside one they are the command line's to judge, so a usage error of the
// command line is never a window that silently ignores something.
bool wantsCommandLine(int argc, char** argv);

// The window options as Qt reads them: each NAME=VALUE form (--platform=offscreen) as -NAME VALUE,
// since Qt takes that form for only a few options and would start without the one asked for.
QByteArrayList windowArguments(int argc, char** argv);

// Whether the window would be shown on the X11 or Wayland desktop while neither is reachable:
// no DISPLAY, no WAYLAND_DISPLAY and no -display option, as over SSH or on a server.
bool windowHasNoDisplay(int argc, char** argv);

// Runs the command line without any display: a QCoreApplication at most. Returns the exit
// status.
int run(int argc, char** argv);

// The command line over the arguments that follow the program's name, as the shell passed them,
// for an application object that already exists.
int runCommandLine(const QByteArrayList& arguments, std::ostream& out, std::ostream& err);

} // namespace qbx::cli
