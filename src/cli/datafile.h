#pragma once

#include <QFile>
#include <QString>

namespace qbx::cli {

// The file that `decode` reads whole. Read, never mapped: a mapped file that shrinks while it is
// read ends the program with SIGBUS.
class DataFile
{
public:
    // Opens the file for reading. False, with the reason in *error, when it cannot be read.
    bool open(const QString& path, QString* error);

    // Whether the file's contents can be sent more than once: a pipe can be read only once.
    // Asked before opening, since opening a pipe waits for its writer.
    static bool canBeSentAgain(const QString& path);

    // The whole contents. Empty with *error set when the file cannot be read.
    QByteArray contents(QString* error);

private:
    QFile m_file;
};

} // namespace qbx::cli
