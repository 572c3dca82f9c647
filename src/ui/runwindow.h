#pragma once

namespace qbx::ui {

// Starts the desktop program: the one window and its event loop. Returns the exit status.
int runWindow(int& argc, char** argv);

} // namespace qbx::ui
