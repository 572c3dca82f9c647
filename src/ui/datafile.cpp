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
    if (QFileInfo(path).isDir())
        return failure(path, QCoreApplication::translate("DataFile", "it is a folder"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(path, file.errorString());
    if (file.isSequential()) {
        // A pipe or device has no length to take: read it until it ends.
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return failure(path, file.errorString());
        return {std::move(bytes), {}};
    }
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
