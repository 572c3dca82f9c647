#include "textfiles.h"

#include "console.h"

#include <QFile>
#include <QFileInfo>

namespace qbx::cli {
namespace {

constexpr qint64 kTextFileLimit = qint64{1} << 20;

} // namespace

QString unreadableReason(const QString& path, const QString& error)
{
    if (QFileInfo(path).isDir())
        return QStringLiteral("%1 is a folder, not a file").arg(printable(path));
    return QStringLiteral("cannot read %1: %2").arg(printable(path), error);
}

bool readTextFile(const QString& path, QString* text, QString* error)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        *error = unreadableReason(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(kTextFileLimit + 1);
    if (file.error() != QFileDevice::NoError)
        *error = QStringLiteral("reading %1 failed: %2").arg(printable(path), file.errorString());
    else if (bytes.size() > kTextFileLimit)
        *error = QStringLiteral("%1 is larger than %2 bytes, too large for a list of lines")
                     .arg(printable(path))
                     .arg(kTextFileLimit);
    else if (*text = QString::fromUtf8(bytes); text->toUtf8() != bytes)
        *error = QStringLiteral("%1 is not UTF-8 text").arg(printable(path));
    else
        return true;
    return false;
}

} // namespace qbx::cli
