#pragma once

#include <QByteArray>
#include <QString>

namespace qbx::ui {

// A data file read whole for "Print External Data File", or why it could not be.
struct DataFile
{
    QByteArray bytes;
    QString error; // empty when the file was read whole

    bool ok() const { return error.isEmpty(); }
};

// Reads the file raw, in one read into one buffer of the file's size, and closes it before
// returning. Nothing is created: a missing file is an error, and so is anything that is not a
// regular file (a folder, a pipe, a device).
DataFile readDataFile(const QString& path);

} // namespace qbx::ui
