#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace qbx {

// A file name on Linux is bytes, and not every name is valid UTF-8. Such a name travels in a
// QString with each byte that is not part of valid UTF-8 held as the lone surrogate
// U+DC80 + (byte - 0x80), the way Python's "surrogateescape" does, so that it names the same file
// again; Qt's own conversion would put U+FFFD in its place and name another file.
QString decodePath(const QByteArray& name);
QByteArray encodePath(const QString& path);

// The byte that a character of such a path stands for, if it stands for one.
std::optional<unsigned char> rawByte(QChar c);

// Whether the path holds such bytes (it cannot be kept in a settings file, which holds text).
bool holdsRawBytes(const QString& path);

// Opens a file for reading by its path as encodePath gives it: a file descriptor, or -1 with errno.
int openForReading(const QString& path);

} // namespace qbx
