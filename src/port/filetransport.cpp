#include "filetransport.h"

#include "portmessages.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TeskKit {
namespace {

// A FIFO whose reader went away raises SIGPIPE, which would end the program. Blocked for the
// duration of a write, the error comes back as EPIPE instead, and a signal left pending by it is
// taken off before the mask is restored.
class SigpipeBlocker
{
public:
    SigpipeBlocker()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
    }
    ~SigpipeBlocker()
    {
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE)) {
            const timespec none{0, 0};
            sigtimedwait(&m_pipe, nullptr, &none);
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigpipeBlocker(const SigpipeBlocker&) = delete;
    SigpipeBlocker& operator=(const SigpipeBlocker&) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_previous;
};

bool isFifo(const QString& path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}

} // namespace

FileTransport::FileTransport(QString path, PortTimeouts timeouts)
    : m_path(std::move(path))
    , m_timeouts(timeouts)
{}

FileTransport::~FileTransport()
{
    abort();
}

bool FileTransport::open()
{
    if (m_path.trimmed().isEmpty())
        return fail(TransmissionStage::Sending, QStringLiteral("No output file is chosen. Choose one in the port panel."));

    const QFileInfo info(m_path);
    if (info.isDir())
        return fail(TransmissionStage::Sending, QStringLiteral("%1 is a folder. Choose a file to write to.").arg(m_path));
    if (info.exists() && !info.isFile())
        return openDevice(isFifo(m_path));

    m_saveFile = std::make_unique<QSaveFile>(m_path);
    m_saved = 0;
    if (!m_saveFile->open(QIODevice::WriteOnly))
        return fail(TransmissionStage::Sending, QStringLiteral("%1: %2").arg(m_path, m_saveFile->errorString()));
    return true;
}

bool FileTransport::openDevice(bool isFifo)
{
    const QByteArray path = QFile::encodeName(m_path);
    const QDeadlineTimer deadline(m_timeouts.deviceOpenMs);
    // Non-blocking, so that a FIFO without a reader (ENXIO) or a device that hangs in its open
    // cannot stop the program; writes wait in poll() with a bound instead.
    for (;;) {
        m_fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_fd >= 0)
            return true;
        if (!(isFifo && errno == ENXIO))
            return fail(TransmissionStage::Sending, deviceFailure(m_path, errno));
        if (deadline.hasExpired())
            return fail(TransmissionStage::Sending, 
                QStringLiteral("%1: no program is reading from this FIFO. Start the program that reads it, "
                               "then repeat the action.")
                    .arg(m_path));
        QThread::msleep(20);
    }
}

bool FileTransport::write(QByteArrayView data)
{
    if (m_saveFile) {
        if (m_saveFile->write(data.data(), data.size()) != data.size())
            return fail(TransmissionStage::Sending, QStringLiteral("%1: %2").arg(m_path, m_saveFile->errorString()));
        m_saved += data.size();
        return true;
    }
    return writeDevice(data);
}

bool FileTransport::writeDevice(QByteArrayView data)
{
    const SigpipeBlocker blocker;
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_fd, data.data() + done, static_cast<size_t>(data.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return fail(TransmissionStage::Sending, errno == EPIPE
                            ? QStringLiteral("%1: the program reading from it has stopped.").arg(m_path)
                            : deviceFailure(m_path, errno));
        pollfd ready{m_fd, POLLOUT, 0};
        const int r = ::poll(&ready, 1, m_timeouts.writeStallMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0)
            return fail(TransmissionStage::Sending, 
                QStringLiteral("%1 took no data for %2 seconds. Check that the printer is switched on, "
                               "on-line and has paper.")
                    .arg(m_path)
                    .arg(m_timeouts.writeStallMs / 1000.0));
        if (r < 0)
            return fail(TransmissionStage::Sending, deviceFailure(m_path, errno));
    }
    return true;
}

bool FileTransport::finish()
{
    if (m_saveFile) {
        // A short write to the temporary file (a full disk, a file size limit) is not always an
        // error to QSaveFile, which would then put a truncated file in place of the old one.
        QString shortWrite;
        errno = 0;
        if (!m_saveFile->flush()) // Qt keeps no reason for a short write; the system does
            shortWrite =
                errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : m_saveFile->errorString();
        else if (m_saveFile->size() != m_saved)
            shortWrite =
                QStringLiteral("only %1 of %2 bytes could be written").arg(m_saveFile->size()).arg(m_saved);
        if (!shortWrite.isEmpty()) {
            m_saveFile->cancelWriting();
            m_saveFile.reset();
            return fail(TransmissionStage::Sending, 
                QStringLiteral("%1: %2. The disk may be full or a file size limit reached; the file was "
                               "left as it was.")
                    .arg(m_path, shortWrite));
        }
        const bool committed = m_saveFile->commit();
        if (!committed)
            fail(TransmissionStage::Sending, QStringLiteral("%1: %2").arg(m_path, m_saveFile->errorString()));
        m_saveFile.reset();
        return committed;
    }
    if (m_fd >= 0) {
        const int closed = ::close(m_fd);
        const int error = errno;
        m_fd = -1;
        if (closed != 0 && error != EINTR)
            return fail(TransmissionStage::Sending, deviceFailure(m_path, error));
    }
    return true;
}

void FileTransport::abort()
{
    if (m_saveFile)
        m_saveFile->cancelWriting();
    m_saveFile.reset();
    closeDevice();
}

void FileTransport::closeDevice()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace TeskKit
