#include "datafile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qbx::ui {
namespace {

DataFile failure(const QString& path, const QString& reason)
{
    return {{},
            QCoreApplication::translate("DataFile", "The file \"%1\" could not be read: %2.")
                .arg(QDir::toNativeSeparators(path), reason)};
}

} // namespace

DataFile readDataFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return failure(path, QCoreApplication::translate("DataFile", "it is a folder"));
    // A pipe would block the window until someone writes into it, and a device such as
    // /dev/zero never ends: only a file with a length can be read whole.
    if (info.exists() && !info.isFile())
        return failure(path, QCoreApplication::translate("DataFile", "it is not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(path, file.errorString());
    const qint64 size = file.size();
    QByteArray bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return failure(path,
                       QCoreApplication::translate("DataFile", "there is not enough memory to hold it"));
    }
    const qint64 read = size == 0 ? 0 : file.read(bytes.data(), size);
    if (read != size) {
        // Shortened while being read, or a read error: never send part of a file.
        return failure(path, read < 0
                                 ? file.errorString()
                                 : QCoreApplication::translate("DataFile", "it changed while it was read"));
    }
    return {std::move(bytes), {}};
}

} // namespace qbx::ui
