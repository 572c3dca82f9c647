#include "cli/textfiles.h"

#include "cli/console.h"
#include "port/nativepath.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace qbx::cli {
namespace {

constexpr qint64 kTextFileLimit = qint64{1} << 20;

} // namespace

// Why a file cannot be read, naming it. A folder is no file.
static QString unreadableReason(const QString& path, const QString& error)
{
    struct stat status
    {
    };
    if (::stat(qbx::encodePath(path).constData(), &status) == 0 && S_ISDIR(status.st_mode))
        return QStringLiteral("%1 is a folder, not a file").arg(printable(path));
    return QStringLiteral("cannot read %1: %2").arg(printable(path), error);
}

bool openByPath(QFile& file, const QString& path, QIODevice::OpenMode mode, QString* error)
{
    // By its bytes: Qt would turn a name that is no UTF-8 into another name.
    const int fd = qbx::openForReading(path);
    struct stat status
    {
    };
    if (fd < 0 || ::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        *error = unreadableReason(path, QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    return file.open(fd, mode, QFileDevice::AutoCloseHandle);
}

bool readTextFile(const QString& path, QString* text, QString* error)
{
    QFile file;
    if (!openByPath(file, path, QIODevice::ReadOnly, error))
        return false;
    QByteArray bytes = file.read(kTextFileLimit + 1);
    // Written by an editor that marks its UTF-8: the mark is no part of the first line.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
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
