#pragma once

#include <QString>

namespace qbx::cli {

// A small text file named on the command line (a profile, a list of ports), read whole into
// *text; false, with *error naming the file and the reason, when it cannot be used. Larger
// files than any such list are refused, so that /dev/zero cannot fill the memory.
bool readTextFile(const QString& path, QString* text, QString* error);

// Why a file cannot be read, naming it; empty when it can be. A folder is no file.
QString unreadableReason(const QString& path, const QString& error);

} // namespace qbx::cli
