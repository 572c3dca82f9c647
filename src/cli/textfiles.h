#pragma once

#include <QFile>
#include <QString>

namespace qbx::cli {

// A small text file named on the command line (a profile, a list of ports), read whole into
// *text; false, with *error naming the file and the reason, when it cannot be used. Larger
// files than any such list are refused, so that /dev/zero cannot fill the memory.
bool readTextFile(const QString& path, QString* text, QString* error);

// Opens the file named on the command line for reading, by the bytes of its name; false, with
// *error naming the file and the reason, when it cannot be read. A folder is no file. The QFile
// knows no name then: messages take the path.
bool openByPath(QFile& file, const QString& path, QIODevice::OpenMode mode, QString* error);

} // namespace qbx::cli
