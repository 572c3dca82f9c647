#include "port/filetransport.h"

#include "port/nativepath.h"
#include "port/portmessages.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qbx {
namespace {

// How often a wait looks at the cancel flag.
constexpr int kCancelCheckMs = 100;
// How often the end of a transmission to a FIFO looks whether its reader has read everything.
constexpr int kFifoDrainPollMs = 10;
// As many symbolic links as the system follows in one path before it gives up with ELOOP.
constexpr int kMaxLinks = 40;

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

// A file size limit (ulimit -f) makes the system end the whole program with SIGXFSZ in the middle
// of a write, without a word and with the temporary file left behind. Ignored, the write fails
// with EFBIG instead, which is reported and leaves the old file as it was. What a signal does is
// set for the whole process, so this is done once; a handler the program installed is kept.
void ignoreFileSizeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current = {};
        if (::sigaction(SIGXFSZ, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            return;
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    });
}

// Read, not set and restored: for that moment, files other threads create would get no mask.
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
            if (line.startsWith("Umask:"))
                return mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
    }
    const mode_t mask = ::umask(0); // kernels before 4.7 tell it no other way
    ::umask(mask);
    return mask;
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// Where a symbolic link points, as a path usable from here; empty, with errno set, on failure.
QByteArray linkTarget(const QByteArray& link)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(link.constData(), target.data(), size_t(target.size()));
    if (n < 0)
        return {};
    target.truncate(n);
    return target.startsWith('/') ? target : folderOf(link) + '/' + target;
}

// The system's own rule for links in shared folders (fs.protected_symlinks): in a sticky folder
// every user may write to, such as /tmp, a link is followed only when it belongs to the one
// following it or to the folder's owner. Anyone else's link there could be a trap set for a
// program that runs as root.
bool followAllowed(const struct stat& link, const struct stat& folder)
{
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

Problem refusedLink(const QString& path, const QByteArray& link)
{
    return {QStringLiteral("%1 was not written: the symbolic link %2 belongs to another user and lies in %3, "
                           "a folder every user may write to, so following it could send the output "
                           "wherever that user chose.")
                .arg(path, decodePath(link), decodePath(folderOf(link))),
            QStringLiteral("Choose a path in a folder of your own.")};
}

QString startReaderAgain()
{
    return QStringLiteral("Start it again, then repeat the action.");
}

QString stageAction(TransmissionStage stage)
{
    switch (stage) {
    case TransmissionStage::Connecting:
        return QStringLiteral("Opening");
    case TransmissionStage::Sending:
        return QStringLiteral("Writing");
    default:
        return QStringLiteral("Saving");
    }
}

// Why a regular file could not be replaced, and what to do about it; `untouched` says what became
// of the file the user had. The reason goes on from "Writing FILE failed: ".
Problem replaceReason(int error, const QString& folder, const QString& untouched)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return {QStringLiteral("the folder %1 does not exist.").arg(folder),
                QStringLiteral("Create it or choose another folder.")};
    case EISDIR:
        return {QStringLiteral("it is a folder."), QStringLiteral("Choose a file to write to.")};
    case EACCES:
    case EPERM:
        return {QStringLiteral("permission denied: your user may not change this file or create files in %1.")
                    .arg(folder),
                QStringLiteral("Choose a file in a folder of your own, or ask its owner for write access.")};
    case ENOSPC:
    case EDQUOT:
        return {QStringLiteral("the disk is full (or over quota); %1.").arg(untouched),
                QStringLiteral("Free some space or choose a file on another disk, then repeat the action.")};
    case EFBIG:
        return {QStringLiteral("file size limit reached; %1.").arg(untouched),
                QStringLiteral("Raise the limit (ulimit -f) for the program, or have the administrator raise "
                               "it, then repeat the action.")};
    case EROFS:
        return {QStringLiteral("the disk is read-only; %1.").arg(untouched),
                QStringLiteral("Choose a file on another disk.")};
    case ELOOP:
        return {QStringLiteral("too many symbolic links, or a loop of them."),
                QStringLiteral("Point the link at a file, or choose another path.")};
    default:
        return {QStringLiteral("%1; %2.").arg(QString::fromLocal8Bit(std::strerror(error)), untouched),
                QStringLiteral("Check the disk, then repeat the action.")};
    }
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
    ignoreFileSizeSignal();
    std::optional<struct stat> found;
    if (!resolveTarget(found))
        return false;
    if (found && S_ISDIR(found->st_mode))
        return failReplacing(TransmissionStage::Connecting, EISDIR);
    m_isDevice = found && !S_ISREG(found->st_mode);
    if (m_isDevice)
        return openDevice(S_ISFIFO(found->st_mode));
    m_old = found;
    return openReplacement();
}

// Follows symbolic links the way the system would, to the file that the rename must replace:
// renaming onto the link itself would put a regular file in its place.
bool FileTransport::resolveTarget(std::optional<struct stat>& found)
{
    m_target = encodePath(m_path);
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat status = {};
        if (::lstat(m_target.constData(), &status) != 0) {
            found.reset();
            return errno == ENOENT || failReplacing(TransmissionStage::Connecting, errno);
        }
        if (!S_ISLNK(status.st_mode)) {
            found = status;
            return true;
        }
        if (!mayFollow(m_target, status))
            return false;
        const QByteArray next = linkTarget(m_target);
        if (next.isEmpty())
            return failReplacing(TransmissionStage::Connecting, errno);
        m_target = next;
    }
    return failReplacing(TransmissionStage::Connecting, ELOOP);
}

bool FileTransport::mayFollow(const QByteArray& link, const struct stat& linkStatus)
{
    struct stat folder = {};
    if (::stat(folderOf(link).constData(), &folder) != 0)
        return failReplacing(TransmissionStage::Connecting, errno);
    return followAllowed(linkStatus, folder) ||
           fail(TransmissionStage::Connecting, refusedLink(m_path, link));
}

bool FileTransport::openReplacement()
{
    // The rename would replace a file the user may not write; refuse it as writing it would be.
    if (m_old && ::faccessat(AT_FDCWD, m_target.constData(), W_OK, AT_EACCESS) != 0)
        return failReplacing(TransmissionStage::Connecting, errno);
    const qsizetype slash = m_target.lastIndexOf('/');
    QByteArray name = folderOf(m_target) + "/." + m_target.mid(slash + 1) + ".XXXXXX";
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        return failReplacing(TransmissionStage::Connecting, errno);
    m_temporary = name;
    return true;
}

bool FileTransport::write(QByteArrayView data)
{
    return m_isDevice ? writeDevice(data) : writeReplacement(data);
}

bool FileTransport::writeReplacement(QByteArrayView data)
{
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::write(m_fd, data.data() + done, size_t(data.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0) // a regular file takes bytes or says why not; never spin on it
            return failReplacing(TransmissionStage::Sending, EIO);
        else if (errno != EINTR)
            return failReplacing(TransmissionStage::Sending, errno);
    }
    return true;
}

// File to file, the kernel copies (or shares) the blocks itself, as cp does: no copy passes
// through this process. A file system or kernel that cannot do it falls back to write().
std::optional<qint64> FileTransport::copyFrom(int source, qint64 length)
{
    if (m_isDevice || m_fd < 0)
        return std::nullopt;
    for (;;) {
        const ssize_t n = ::copy_file_range(source, nullptr, m_fd, nullptr, size_t(length), 0);
        if (n >= 0) {
            m_copied = m_copied || n > 0;
            return n;
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        const bool unsupported =
            error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF;
        if (unsupported && !m_copied)
            return std::nullopt;
        failReplacing(TransmissionStage::Sending, error);
        return -1;
    }
}

bool FileTransport::finish()
{
    return m_isDevice ? finishDevice() : finishReplacement();
}

bool FileTransport::finishReplacement()
{
    // The owner and mode go with the data into the one fsync, before the file takes its name.
    if (!giveOwnerAndMode() || ::fsync(m_fd) != 0)
        return failReplacing(TransmissionStage::Finishing, errno);
    const int closed = ::close(m_fd);
    const int error = errno;
    m_fd = -1;
    if (closed != 0 && error != EINTR)
        return failReplacing(TransmissionStage::Finishing, error);
    if (::rename(m_temporary.constData(), m_target.constData()) != 0)
        return failReplacing(TransmissionStage::Finishing, errno);
    m_temporary.clear();
    return syncFolder();
}

// The new file stands in for the old one, for whoever uses it. Only root may give a file away;
// anyone else keeps the group where they belong to it, and the mode always. A new file gets the
// mode any program would create it with.
bool FileTransport::giveOwnerAndMode()
{
    if (!m_old)
        return ::fchmod(m_fd, 0666 & ~currentUmask()) == 0;
    if (::fchown(m_fd, m_old->st_uid, m_old->st_gid) != 0 && ::fchown(m_fd, uid_t(-1), m_old->st_gid) != 0 &&
        errno != EPERM)
        return false;
    return ::fchmod(m_fd, m_old->st_mode & 07777) == 0; // after fchown, which clears set-id bits
}

// Until the folder is synced, a power loss may bring the old file back.
bool FileTransport::syncFolder()
{
    const int folder = ::open(folderOf(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) // a folder the user may write but not read: the file is in place all the same
        return true;
    // A file system that cannot sync a folder says EINVAL; there is nothing more to wait for.
    const bool synced = ::fsync(folder) == 0 || errno == EINVAL;
    const int error = errno;
    ::close(folder);
    return synced || fail(TransmissionStage::Finishing,
                          {QStringLiteral(
                               "%1 was replaced, but the disk did not confirm storing the change (%2): after "
                               "a power loss the old file may come back.")
                               .arg(m_path, QString::fromLocal8Bit(std::strerror(error))),
                           QStringLiteral("Check the disk, then repeat the action.")});
}

bool FileTransport::failReplacing(TransmissionStage stage, int error)
{
    const QString untouched =
        stage == TransmissionStage::Connecting ? QStringLiteral("nothing was changed") : untouchedFile();
    const Problem reason = replaceReason(error, decodePath(folderOf(m_target)), untouched);
    return fail(stage, {QStringLiteral("%1 %2 failed: %3").arg(stageAction(stage), m_path, reason.what),
                        reason.todo});
}

QString FileTransport::untouchedFile() const
{
    return m_old ? QStringLiteral("%1 was kept as it was").arg(m_path)
                 : QStringLiteral("%1 was not created").arg(m_path);
}

bool FileTransport::openDevice(bool isFifo)
{
    m_isFifo = isFifo;
    const QDeadlineTimer deadline(m_timeouts.deviceOpenMs);
    // Non-blocking, so that a FIFO without a reader (ENXIO) or a device that hangs in its open
    // cannot stop the program; writes wait in poll() with a bound instead.
    for (;;) {
        m_fd = ::open(m_target.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_fd >= 0)
            return true;
        if (!(isFifo && errno == ENXIO))
            return fail(TransmissionStage::Connecting, deviceProblem(m_path, errno));
        if (cancelRequested())
            return cancelled(TransmissionStage::Connecting);
        if (deadline.hasExpired())
            return fail(TransmissionStage::Connecting,
                        {QStringLiteral("%1: no program is reading from this FIFO.").arg(m_path),
                         QStringLiteral("Start the program that reads it, then repeat the action.")});
        QThread::msleep(20);
    }
}

bool FileTransport::writeDevice(QByteArrayView data)
{
    const SigpipeBlocker blocker;
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::write(m_fd, data.data() + done, size_t(data.size() - done));
        if (n > 0) {
            done += n;
            m_sent += n;
            continue;
        }
        if (errno == EINTR) // n is -1: a write of some bytes never returns 0
            continue;
        if (errno != EAGAIN)
            return fail(
                TransmissionStage::Sending,
                errno == EPIPE
                    ? Problem{QStringLiteral("%1: the program reading from it has stopped.").arg(m_path),
                              startReaderAgain()}
                    : deviceProblem(m_path, errno),
                deviceDelivery());
        if (!waitUntilWritable())
            return false;
    }
    return true;
}

// Waits, in short slices so that a cancel is seen, until the device takes data again.
bool FileTransport::waitUntilWritable()
{
    const QDeadlineTimer deadline(m_timeouts.writeStallMs);
    for (;;) {
        if (cancelRequested())
            return cancelled(TransmissionStage::Sending, deviceDelivery());
        if (deadline.hasExpired())
            return failStalled(TransmissionStage::Sending);
        pollfd ready{m_fd, POLLOUT, 0};
        const int slice = int(std::min<qint64>(kCancelCheckMs, deadline.remainingTime()));
        const int r = ::poll(&ready, 1, slice);
        if (r > 0) // writable, or an error that the next write reports
            return true;
        if (r < 0 && errno != EINTR)
            return fail(TransmissionStage::Sending, deviceProblem(m_path, errno), deviceDelivery());
    }
}

bool FileTransport::finishDevice()
{
    if (!drainDevice())
        return false;
    const int closed = ::close(m_fd);
    const int error = errno;
    m_fd = -1;
    // After EINTR the descriptor is closed all the same on Linux, and the data was accepted.
    if (closed != 0 && error != EINTR)
        return fail(TransmissionStage::Finishing, deviceProblem(m_path, error), deviceDelivery());
    return true;
}

// A close must not drop what is still in flight: a USB printer's driver, written without
// blocking, counts a write as done before its transfer completes and cancels the transfer on
// close; it reports the device writable once the last one has completed. A FIFO holds what its
// reader has not read yet, and is delivered once the reader has it all.
bool FileTransport::drainDevice()
{
    QDeadlineTimer stall(m_timeouts.writeStallMs);
    int previous = -1;
    for (;;) {
        if (cancelRequested())
            return cancelled(TransmissionStage::Finishing, deviceDelivery());
        int unread{};
        if (m_isFifo && ::ioctl(m_fd, FIONREAD, &unread) == 0 && unread == 0)
            return true;
        pollfd ready{m_fd, POLLOUT, 0};
        const int r = ::poll(&ready, 1, int(std::min<qint64>(kCancelCheckMs, stall.remainingTime())));
        if (r < 0 && errno != EINTR)
            return fail(TransmissionStage::Finishing, deviceProblem(m_path, errno), deviceDelivery());
        if (r > 0 && (ready.revents & POLLERR))
            return fail(
                TransmissionStage::Finishing,
                {QStringLiteral("%1: the program reading from it stopped before it had read everything.")
                     .arg(m_path),
                 startReaderAgain()},
                deviceDelivery());
        if (!m_isFifo && r > 0)
            return true;
        if (m_isFifo) {
            if (unread != previous)
                stall.setRemainingTime(m_timeouts.writeStallMs);
            previous = unread;
            QThread::msleep(kFifoDrainPollMs);
        }
        if (stall.hasExpired())
            return failStalled(TransmissionStage::Finishing);
    }
}

bool FileTransport::failStalled(TransmissionStage stage)
{
    return fail(
        stage,
        {QStringLiteral("%1 took no data for %2 seconds.").arg(m_path).arg(m_timeouts.writeStallMs / 1000.0),
         QStringLiteral("Check that the printer (or the program reading from it) is switched on, "
                        "on-line and has paper.")},
        deviceDelivery());
}

PartialDelivery FileTransport::deviceDelivery() const
{
    return m_sent > 0 ? PartialDelivery::Possible : PartialDelivery::No;
}

// A regular file is only replaced by finish(), so an abort leaves the old one whole.
PartialDelivery FileTransport::deliveryIfAborted(qint64) const
{
    return m_isDevice ? deviceDelivery() : PartialDelivery::No;
}

void FileTransport::abort()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (m_temporary.isEmpty())
        return;
    ::unlink(m_temporary.constData());
    m_temporary.clear();
    // A failure has said so already; a cancel says nothing of the file by itself.
    if (failure().problem.isEmpty())
        addToNote(untouchedFile() + QLatin1Char('.'));
}

} // namespace qbx
