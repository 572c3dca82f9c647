// The checks of a file, device node, FIFO or serial line: what the path is, whether this user may
// write it, and whether another program holds it. Nothing is written.
#include "doctor/portdoctor.h"
#include "port/nativepath.h"
#include "port/portmessages.h"
#include "port/serialmodule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qbx {
namespace {

// Where serial programs (Qt's serial port among them) leave their UUCP lock files, "LCK..ttyUSB0".
const char* const kLockFolders[] = {"/var/lock",       "/run/lock", "/var/spool/locks",
                                    "/var/spool/uucp", "/tmp",      "/var/tmp"};

// The major number of /dev/null, /dev/zero and the other memory devices.
constexpr unsigned kMemoryDevices = 1;

std::optional<struct stat> statusOf(const QString& path)
{
    struct stat status
    {
    };
    if (::stat(encodePath(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

QString groupName(gid_t gid)
{
    const group* g = ::getgrgid(gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
}

QString userName(uid_t uid)
{
    const passwd* u = ::getpwuid(uid);
    return u ? QString::fromLocal8Bit(u->pw_name) : QString::number(uid);
}

// Whether the group file makes the user a member of the group: what the next login gives.
bool memberAtNextLogin(gid_t gid, const QString& user)
{
    if (user.isEmpty())
        return false;
    if (const passwd* u = ::getpwnam(user.toLocal8Bit().constData()); u && u->pw_gid == gid)
        return true;
    const group* g = ::getgrgid(gid);
    for (char** member = g ? g->gr_mem : nullptr; member && *member; ++member)
        if (user == QString::fromLocal8Bit(*member))
            return true;
    return false;
}

// Who grants the rights, by the mode alone. `rights` in the bits of "others" (S_IWOTH...).
enum class Grant
{
    None,
    Owner,
    Group,
    Everyone,
    Administrator,
    AccessList,
};

Grant grantByMode(const struct stat& status, const Identity& who, mode_t rights)
{
    if (who.uid == 0)
        return Grant::Administrator;
    if (status.st_uid == who.uid)
        return (status.st_mode & (rights << 6)) == rights << 6 ? Grant::Owner : Grant::None;
    if (who.groups.contains(status.st_gid))
        return (status.st_mode & (rights << 3)) == rights << 3 ? Grant::Group : Grant::None;
    return (status.st_mode & rights) == rights ? Grant::Everyone : Grant::None;
}

QString grantText(Grant grant, gid_t group)
{
    switch (grant) {
    case Grant::Owner:
        return QStringLiteral("as its owner");
    case Grant::Group:
        return QStringLiteral("as a member of the group '%1'").arg(groupName(group));
    case Grant::Everyone:
        return QStringLiteral("as every user may");
    case Grant::Administrator:
        return QStringLiteral("as the administrator");
    case Grant::AccessList:
        return QStringLiteral("through an access list");
    case Grant::None:
        break;
    }
    return {};
}

// Whether the user may do `doing` ("write it") to the path, and if not, who may and how to join them.
Finding accessFinding(const QString& path, const struct stat& status, const Identity& who, mode_t rights,
                      const QString& doing)
{
    Grant grant = grantByMode(status, who, rights);
    if (who.self) {
        const int mode = ((rights & S_IWOTH) ? W_OK : 0) | ((rights & S_IXOTH) ? X_OK : 0);
        const bool allowed = ::faccessat(AT_FDCWD, encodePath(path).constData(), mode, AT_EACCESS) == 0;
        if (!allowed && grant != Grant::None) // a read-only file system, a security module
            return Finding::blocker(deviceProblem(path, errno));
        if (allowed && grant == Grant::None)
            grant = Grant::AccessList;
    }
    if (grant != Grant::None)
        return Finding::ok(
            QStringLiteral("%1: you may %2 (%3).").arg(path, doing, grantText(grant, status.st_gid)));
    const QString group = groupName(status.st_gid);
    const bool groupMay = (status.st_mode & (rights << 3)) == rights << 3 && status.st_uid != who.uid;
    if (groupMay && memberAtNextLogin(status.st_gid, who.userName))
        return Finding::blocker(
            QStringLiteral(
                "%1: members of the group '%2' may %3, and you are one, but not yet in this session.")
                .arg(path, group, doing),
            QStringLiteral(
                "Log out and in again (or run 'newgrp %1' in the terminal that starts the program).")
                .arg(group));
    if (groupMay)
        return Finding::blocker(
            QStringLiteral("%1: you may not %2; members of the group '%3' may.").arg(path, doing, group),
            QStringLiteral("sudo usermod -aG %1 $USER, then log out and in again.").arg(group));
    return Finding::blocker(
        QStringLiteral("%1: only its owner %2 may %3.").arg(path, userName(status.st_uid), doing),
        S_ISCHR(status.st_mode)
            ? QStringLiteral("Ask the administrator for access (a udev rule that gives the device to a "
                             "group you are in), or choose another port.")
            : QStringLiteral("Choose a file in a folder of your own, such as your home folder."));
}

QString processName(const QString& pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name =
        comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
    return QStringLiteral("%1 (%2)").arg(pid, name.isEmpty() ? QStringLiteral("?") : name);
}

// The other programs that have the device open, "1234 (minicom)": those whose open files this
// user may see. This one holds no port while it checks, and the programs of its own session (the
// shell it runs in, whose terminal may be the line checked) are never in its way.
QStringList programsHolding(dev_t device)
{
    QStringList found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        if (pid.toInt() <= 0 || ::getsid(pid.toInt()) == ::getsid(0))
            continue;
        const QByteArray folder = QStringLiteral("/proc/%1/fd/").arg(pid).toLatin1();
        DIR* fds = ::opendir(folder.constData());
        if (!fds)
            continue;
        struct stat status
        {
        };
        for (const dirent* fd = ::readdir(fds); fd; fd = ::readdir(fds))
            if (::stat((folder + fd->d_name).constData(), &status) == 0 && S_ISCHR(status.st_mode) &&
                status.st_rdev == device) {
                found << processName(pid);
                break;
            }
        ::closedir(fds);
    }
    return found;
}

// The live program named by a UUCP lock file of the line, if any.
std::optional<QString> lockHolder(const QString& device)
{
    for (const char* folder : kLockFolders) {
        QFile lock(QStringLiteral("%1/LCK..%2").arg(QLatin1String(folder), QFileInfo(device).fileName()));
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const int pid = QString::fromLatin1(lock.readLine()).trimmed().toInt();
        if (pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM))
            return processName(QString::number(pid)) + QStringLiteral(", by its lock file ") +
                   lock.fileName();
    }
    return std::nullopt;
}

// Whether another program has the line for itself (TIOCEXCL): others then get "busy", only the
// administrator gets through, and the line would take two programs' data at once.
bool heldExclusively(const QString& device)
{
    const int fd = ::open(encodePath(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    int exclusive{};
    const bool held = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    ::close(fd);
    return held;
}

// The kernel driver behind a character device ("usblp", "ftdi_sio"), when it has one of its own.
std::optional<Finding> driverFinding(const QString& path, const struct stat& status)
{
    const QString driver = QFileInfo(QStringLiteral("/sys/dev/char/%1:%2/device/driver")
                                         .arg(major(status.st_rdev))
                                         .arg(minor(status.st_rdev)))
                               .symLinkTarget();
    if (!driver.isEmpty())
        return Finding::ok(QStringLiteral("%1 is served by the kernel driver '%2'.")
                               .arg(path, QFileInfo(driver).fileName()));
    if (path.startsWith(QLatin1String("/dev/usb/lp")))
        return Finding::warning(
            QStringLiteral("%1 has no kernel driver behind it.").arg(path),
            QStringLiteral("Another program may have claimed the printer (ipp-usb, or a print queue's "
                           "USB backend: 'systemctl status ipp-usb', 'lpstat -v'); stop it, or "
                           "unplug and plug the printer in again."));
    return std::nullopt;
}

// A few of them by name: a node such as /dev/null is open in every program.
QString holdersText(const QStringList& holders)
{
    constexpr qsizetype kNamed = 4;
    QString text = holders.mid(0, kNamed).join(QStringLiteral(", "));
    if (holders.size() > kNamed)
        text += QStringLiteral(" and %1 more").arg(holders.size() - kNamed);
    return text;
}

QString holdersAdvice(const QStringList& holders)
{
    const QString pid = holders.value(0).section(QLatin1Char(' '), 0, 0);
    return QStringLiteral(
               "Close that program, or end it ('kill %1'); when a service runs it, stop the service "
               "('systemctl status %1' names it).")
        .arg(pid.isEmpty() ? QStringLiteral("PID") : pid);
}

Findings checkNewFile(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const std::optional<struct stat> status = statusOf(folder);
    if (!status || !S_ISDIR(status->st_mode))
        return {Finding::blocker(
            QStringLiteral("%1 does not exist, and neither does its folder %2.").arg(path, folder),
            QStringLiteral("Create the folder ('mkdir -p %1') or choose another file.").arg(folder))};
    return {
        Finding::ok(QStringLiteral("%1 does not exist yet: it will be created in %2.").arg(path, folder))};
}

} // namespace

Findings checkFileOrDevice(const QString& path, const Identity& who)
{
    const std::optional<struct stat> status = statusOf(path);
    if (!status && errno == ENOENT && !path.startsWith(QLatin1String("/dev/"))) {
        Findings findings = checkNewFile(path);
        const QString folder = QFileInfo(path).absolutePath();
        if (const auto folderStatus = statusOf(folder); !hasProblem(findings) && folderStatus)
            findings << accessFinding(folder, *folderStatus, who, S_IWOTH | S_IXOTH,
                                      QStringLiteral("create files in it"));
        return findings;
    }
    if (!status)
        return {Finding::blocker(deviceProblem(path, errno))};
    const mode_t mode = status->st_mode;
    if (S_ISDIR(mode))
        return {Finding::blocker(
            QStringLiteral("%1 is a folder, not a file.").arg(path),
            QStringLiteral("Choose a file in it, such as %1.").arg(QDir(path).filePath("QBX740.prn")))};
    if (S_ISREG(mode)) {
        // The new contents go to a file beside it, renamed over it: the folder is what must take them.
        const QString folder = QFileInfo(path).absolutePath();
        Findings findings{
            Finding::ok(QStringLiteral("%1 is a file: each transmission replaces it.").arg(path))};
        if (const auto folderStatus = statusOf(folder))
            findings << accessFinding(folder, *folderStatus, who, S_IWOTH | S_IXOTH,
                                      QStringLiteral("create files in it"));
        return findings;
    }
    if (!S_ISCHR(mode) && !S_ISFIFO(mode))
        return {Finding::blocker(
            QStringLiteral("%1 is neither a file, a FIFO nor a character device.").arg(path),
            QStringLiteral("Choose a file, a FIFO or a printer device such as /dev/usb/lp0."))};
    // Whether a program reads a FIFO cannot be seen without opening it, which would end the
    // reader's stream: what a transmission needs is said instead.
    Findings findings{Finding::ok(S_ISFIFO(mode)
                                      ? QStringLiteral("%1 is a FIFO: a program must be reading it when a "
                                                       "transmission starts, which waits %2 s for one.")
                                            .arg(path)
                                            .arg(PortTimeouts{}.deviceOpenMs / 1000)
                                      : QStringLiteral("%1 is a character device.").arg(path)),
                      accessFinding(path, *status, who, S_IWOTH, QStringLiteral("write it"))};
    if (!S_ISCHR(mode))
        return findings;
    if (const auto driver = driverFinding(path, *status))
        findings << *driver;
    if (major(status->st_rdev) == kMemoryDevices)
        findings << Finding::warning(
            QStringLiteral("%1 throws away what is written to it: nothing would reach a printer.").arg(path),
            QStringLiteral("Choose the printer's device, such as /dev/usb/lp0, or a file."));
    else if (const QStringList holders = programsHolding(status->st_rdev); !holders.isEmpty())
        findings << Finding::warning(
            QStringLiteral("%1 is open in %2: a USB printer takes one program at a time, and other "
                           "devices would mix its data with this program's.")
                .arg(path, holdersText(holders)),
            holdersAdvice(holders));
    return findings;
}

// A character device that the terminal layer serves: a serial line, a pseudo-terminal.
bool isTerminal(const QString& device)
{
    const int fd = ::open(encodePath(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return true; // what keeps it closed is said by the other findings
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal;
}

Findings checkSerialLine(const PortConfig& config, const PortTimeouts& timeouts, const Identity& who)
{
    const QString& device = config.serialDevice;
    const std::optional<struct stat> status = statusOf(device);
    if (!status)
        return {Finding::blocker(deviceProblem(device, errno))};
    if (!S_ISCHR(status->st_mode) || !isTerminal(device))
        return {Finding::blocker(
            QStringLiteral("%1 is no serial line: it is not a terminal device.").arg(device),
            QStringLiteral("Choose a serial device such as /dev/ttyUSB0 ('ls /dev/serial/by-id' lists "
                           "those plugged in)."))};
    Findings findings{accessFinding(device, *status, who, S_IWOTH, QStringLiteral("open it"))};
    if (const auto driver = driverFinding(device, *status))
        findings << *driver;
    if (hasProblem(findings))
        return findings;
    QStringList holders = programsHolding(status->st_rdev);
    if (const auto locker = lockHolder(device))
        holders << *locker;
    if (heldExclusively(device) || !holders.isEmpty()) {
        findings << Finding::blocker(
            QStringLiteral("%1 is in use by another program%2.")
                .arg(device, holders.isEmpty() ? QString() : QStringLiteral(": ") + holdersText(holders)),
            holdersAdvice(holders));
        return findings;
    }
    // The transmission's own open and set-up, which reads the settings back; its abort closes the
    // line before a byte has gone.
    const std::unique_ptr<Transport> line = makeSerialTransport(config, timeouts);
    if (!line->open()) {
        findings << Finding::blocker(line->failure().problem);
        return findings;
    }
    line->abort();
    findings << Finding::ok(QStringLiteral("%1 takes %2.").arg(device, lineSettingsText(config)));
    return findings;
}

} // namespace qbx
