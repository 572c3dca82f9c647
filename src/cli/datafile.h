#pragma once

#include "printerport.h"

#include <QFile>
#include <QString>

namespace qbx::cli {

// The file that `send` passes to the printer byte for byte, and that `decode` reads. A regular
// file is mapped, never copied, so its size does not matter; a pipe or device is streamed in
// chunks.
class DataFile
{
public:
    // Opens the file for reading. False, with the reason in *error, when it cannot be read.
    bool open(const QString& path, QString* error);

    // Whether the file's contents can be sent more than once: a pipe can be read only once.
    // Asked before opening, since opening a pipe waits for its writer.
    static bool canBeSentAgain(const QString& path);

    // "Print External Data File" for this file: OpenPort, the bytes, ClosePort. Returns an
    // empty text, or why the file could not be read completely.
    QString sendTo(qbx::PrinterPort& port);

    // The whole contents, for reading them (mapped where possible). Empty with *error set when
    // the file cannot be read.
    QByteArrayView contents(QString* error);

private:
    QString readFailure() const;
    QString streamTo(qbx::PrinterPort& port);

    QFile m_file;
    uchar* m_map = nullptr;
    QByteArray m_copy; // a pipe's contents, read once for `decode`
};

} // namespace qbx::cli
