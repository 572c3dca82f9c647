#pragma once

#include <QString>

namespace qbx::cli {

// The text of --help: for the program when the command is empty, else for that sub-command.
QString helpText(const QString& command);

} // namespace qbx::cli
