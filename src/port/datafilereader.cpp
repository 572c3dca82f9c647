#include "port/datafilereader.h"

#include "port/nativepath.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbx {
namespace {

// Large enough that a file goes out in few system calls, small enough to keep memory flat.
constexpr std::size_t kPieceSize = std::size_t{1} << 20;
// A kernel copy needs no buffer; the piece only sets how often progress and cancel are seen.
constexpr qint64 kCopyPiece = qint64{64} << 20;

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why a chosen file cannot be opened, for "The file ... cannot be sent: ...", and what to do.
Problem unreadableReason(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return {QStringLiteral("it does not exist"), QStringLiteral("Check the name and the folder")};
    case EACCES:
    case EPERM:
        return {QStringLiteral("you may not read it"), QStringLiteral("Ask its owner for read permission")};
    default:
        return {systemText(error), QStringLiteral("Check the name and the disk it is on")};
    }
}

// Reads up to `size` bytes. A read interrupted by a signal is tried again unless the signal
// cancelled the transmission: a pipe whose writer is silent must not hold off Ctrl+C. -1 with
// errno on failure, or with errno ECANCELED once the port has failed.
ssize_t readSome(int fd, char* buffer, std::size_t size, const qbx::StreamPort& port)
{
    for (;;) {
        if (port.PortFailed()) {
            errno = ECANCELED;
            return -1;
        }
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

} // namespace

DataFileReader::DataFileReader() = default;

DataFileReader::~DataFileReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool DataFileReader::open(const QString& path, Accept accept, Problem* error)
{
    m_path = path;
    const QString shown = QDir::toNativeSeparators(path);
    auto refuse = [&](const Problem& reason) {
        *error = {QStringLiteral("The file \"%1\" cannot be sent: %2.").arg(shown, reason.what),
                  reason.todo + QLatin1Char('.')};
        return false;
    };
    struct stat status
    {
    };
    const QByteArray name = encodePath(path);
    if (::stat(name.constData(), &status) != 0)
        return refuse(unreadableReason(errno));
    if (S_ISDIR(status.st_mode))
        return refuse({QStringLiteral("it is a folder"), QStringLiteral("Choose a file")});
    // A pipe would wait for its writer, and a device such as /dev/zero never ends: the window
    // offers only files with a length.
    if (accept == Accept::RegularFilesOnly && !S_ISREG(status.st_mode))
        return refuse({QStringLiteral("it is not a regular file"),
                       QStringLiteral("Choose a printer demo or settings file")});
    m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0)
        return refuse(unreadableReason(errno));
    if (::fstat(m_fd, &status) != 0)
        return refuse(unreadableReason(errno));
    m_regular = S_ISREG(status.st_mode);
    m_size = m_regular ? qint64(status.st_size) : 0;
    m_buffer.reset(new char[kPieceSize]); // NOLINT(cppcoreguidelines-owning-memory): not zeroed on purpose
#ifdef POSIX_FADV_SEQUENTIAL
    if (m_regular)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return true;
}

std::string DataFileReader::shrunk(qint64 read) const
{
    return QStringLiteral("The file \"%1\" got shorter while it was sent (%2 of %3 bytes were read). Send "
                          "it again once no other program is writing it.")
        .arg(QDir::toNativeSeparators(m_path))
        .arg(read)
        .arg(m_size)
        .toStdString();
}

std::string DataFileReader::readFailure(int error) const
{
    return QStringLiteral("Reading the file \"%1\" failed: %2. Check the disk it is on, or copy the file "
                          "elsewhere, then send it again.")
        .arg(QDir::toNativeSeparators(m_path), systemText(error))
        .toStdString();
}

void DataFileReader::sendTo(qbx::StreamPort& port)
{
    std::string failure;
    port.OpenPort();
    if (m_regular)
        port.ExpectBytes(m_size);
    m_wrote = false;
    const bool whole = m_regular ? sendRegular(port, &failure) : sendStream(port, &failure);
    if (whole && !m_wrote)
        port.WritePort({}); // an empty file is still one (empty) write
    if (!whole && !failure.empty())
        port.AbortPort(failure);
    else
        port.ClosePort(); // after a port failure this only ends the transmission
}

// Exactly the length the file had when it was opened; a file that shrinks or grows meanwhile
// is not the file the user chose, and a truncated copy must not pass for it.
bool DataFileReader::sendRegular(qbx::StreamPort& port, std::string* failure)
{
    if (::lseek(m_fd, 0, SEEK_SET) != 0) {
        *failure = readFailure(errno);
        return false;
    }
    qint64 left = m_size;
    // File to file, the port copies in the kernel where it can; what it cannot is read here.
    for (bool copying = left > 0; copying && left > 0;) {
        const std::optional<std::int64_t> n = port.CopyFromFile(m_fd, std::min<qint64>(left, kCopyPiece));
        if (!n) {
            copying = false;
        } else if (*n < 0) {
            return false; // the port has failed and said why
        } else if (*n == 0) {
            *failure = shrunk(m_size - left);
            return false;
        } else {
            m_wrote = true;
            left -= *n;
        }
    }
    while (left > 0) {
        const ssize_t n =
            readSome(m_fd, m_buffer.get(), std::size_t(std::min<qint64>(left, kPieceSize)), port);
        if (n < 0 && errno == ECANCELED)
            return false; // the port has failed and said why
        if (n < 0) {
            *failure = readFailure(errno);
            return false;
        }
        if (n == 0) {
            *failure = shrunk(m_size - left);
            return false;
        }
        port.WritePort(std::string_view(m_buffer.get(), std::size_t(n)));
        m_wrote = true;
        if (port.PortFailed())
            return false;
        left -= n;
    }
    char probe[1];
    if (readSome(m_fd, probe, sizeof probe, port) > 0) {
        *failure = QStringLiteral("The file \"%1\" grew while it was sent; only its first %2 bytes went out. "
                                  "Send it again once no other program is writing it.")
                       .arg(QDir::toNativeSeparators(m_path))
                       .arg(m_size)
                       .toStdString();
        return false;
    }
    return true;
}

bool DataFileReader::sendStream(qbx::StreamPort& port, std::string* failure)
{
    for (;;) {
        const ssize_t n = readSome(m_fd, m_buffer.get(), kPieceSize, port);
        if (n < 0 && errno == ECANCELED)
            return false; // the port has failed and said why
        if (n < 0) {
            *failure = readFailure(errno);
            return false;
        }
        if (n == 0)
            return true;
        port.WritePort(std::string_view(m_buffer.get(), std::size_t(n)));
        m_wrote = true;
        if (port.PortFailed())
            return false;
    }
}

} // namespace qbx
