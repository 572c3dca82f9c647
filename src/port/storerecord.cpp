#include "port/storerecord.h"

#include "port/portkinds.h"
#include "settings/choices.h"
#include "settings/textforms.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbx {
namespace {

// Another run's store to the same printer is bounded by the port's own time-outs; a print queue
// follows its job for a minute.
constexpr int kTurnWaitMs = 120000;
// How often a wait for the turn looks whether it was given up.
constexpr int kTurnSliceMs = 50;
// A record is a profile of a few dozen lines.
constexpr qint64 kLongestRecord = qint64{64} * 1024;

QString shown(const QString& text)
{
    return QString::fromStdString(escapedText(text.toStdString()));
}

// The folder and the ones above it that are missing, each private to the user as the XDG base
// directories want; false with *why.
bool makeFolder(const QString& folder, QString* why)
{
    if (QFileInfo(folder).isDir())
        return true;
    const QString parent = QFileInfo(folder).path();
    if (parent != folder && !makeFolder(parent, why))
        return false;
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || QFileInfo(folder).isDir())
        return true;
    *why = QStringLiteral("cannot make the folder %1: %2")
               .arg(shown(folder), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

// The lines that tie a record to its printer, with names on one line whatever they hold.
QString printerLine(const QString& identity)
{
    return QStringLiteral("# printer: ") + shown(identity);
}

QString portLine(const QString& uri)
{
    return QStringLiteral("# port: ") + shown(uri);
}

} // namespace

QString storeRecordFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/qbx7config");
}

StoreRecord::StoreRecord(const PortConfig& port)
    : m_uri(port.toUri())
    , m_identity(printerIdentity(port))
    // Any printer gives a plain, short file name.
    , m_path(storeRecordFolder() + QLatin1Char('/') +
             QString::fromLatin1(
                 QCryptographicHash::hash(m_identity.toUtf8(), QCryptographicHash::Sha256).toHex().left(32)) +
             QStringLiteral(".profile"))
{}

StoreRecord::~StoreRecord()
{
    if (m_turn >= 0)
        ::close(m_turn); // lets the turn go
}

bool StoreRecord::exists() const
{
    return QFileInfo::exists(m_path);
}

ControlSnapshot StoreRecord::held(QString* warning) const
{
    if (!exists())
        return {};
    const auto read = readRecord();
    if (const auto* snapshot = std::get_if<ControlSnapshot>(&read))
        return *snapshot;
    *warning = QStringLiteral("the record of %1 in %2 is damaged (%3): it is taken as empty and replaced "
                              "at the next store that the port confirms")
                   .arg(shown(m_uri), shown(m_path), shown(std::get<QString>(read).simplified()));
    return {};
}

std::variant<ControlSnapshot, QString> StoreRecord::readRecord() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray bytes = file.read(kLongestRecord + 1);
    if (bytes.size() > kLongestRecord)
        return QStringLiteral("longer than a record is");
    const std::string text = bytes.toStdString();
    const auto lines = profileChoices(text);
    if (const auto* error = std::get_if<ChoiceError>(&lines))
        return QString::fromStdString(error->message);
    // Empty once every setting it held was forgotten.
    const auto snapshot = std::get<std::vector<std::string>>(lines).empty()
                              ? std::variant<ControlSnapshot, ChoiceError>(ControlSnapshot{})
                              : profileSnapshot(text);
    if (const auto* error = std::get_if<ChoiceError>(&snapshot))
        return QString::fromStdString(error->message);
    if (!QString::fromUtf8(bytes).split(QLatin1Char('\n')).contains(printerLine(m_identity)))
        return QStringLiteral("it names another printer");
    return std::get<ControlSnapshot>(snapshot);
}

StoreRecord::Turn StoreRecord::takeTurn(QString* why, const std::function<bool()>& givenUp)
{
    if (!makeFolder(storeRecordFolder(), why))
        return Turn::NoRecordKept;
    // Kept, and reused by every run: making and removing a file at each store would cost the disk
    // more than the store itself.
    const QString lock = m_path + QStringLiteral(".lock");
    m_turn = ::open(QFile::encodeName(lock).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    const QDeadlineTimer deadline(kTurnWaitMs);
    while (m_turn >= 0) {
        if (::flock(m_turn, LOCK_EX | LOCK_NB) == 0)
            return Turn::Taken;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            break;
        if (deadline.hasExpired() || (givenUp && givenUp())) {
            ::close(std::exchange(m_turn, -1));
            *why = QStringLiteral("another run has been sending to this printer for %1 s: try again once it "
                                  "has ended")
                       .arg(kTurnWaitMs / 1000);
            return Turn::Busy;
        }
        QThread::msleep(kTurnSliceMs);
    }
    *why =
        QStringLiteral("cannot lock %1: %2").arg(shown(lock), QString::fromLocal8Bit(std::strerror(errno)));
    if (m_turn >= 0)
        ::close(std::exchange(m_turn, -1));
    return Turn::NoRecordKept;
}

bool StoreRecord::forget(const ControlSnapshot& sent, QString* why) const
{
    QString damage;
    const ControlSnapshot before = held(&damage);
    const ControlSnapshot now = withoutChanged(before, sent);
    return (now == before && damage.isEmpty()) || write(now, why);
}

bool StoreRecord::forgetAll(QString* why) const
{
    if (!QFile::exists(m_path) || QFile::remove(m_path))
        return true;
    *why = QStringLiteral("cannot remove %1").arg(shown(m_path));
    return false;
}

bool StoreRecord::add(const ControlSnapshot& sent, QString* why) const
{
    QString damage;
    const ControlSnapshot before = held(&damage);
    const ControlSnapshot now = overlaid(before, sent);
    return (now == before && damage.isEmpty()) || write(now, why);
}

bool StoreRecord::write(const ControlSnapshot& now, QString* why) const
{
    // The profile's heading, then what it belongs to.
    const QByteArray profile = QByteArray::fromStdString(profileText(now));
    const qsizetype body = profile.indexOf('\n') + 1;
    const QByteArray text = profile.left(body) + printerLine(m_identity).toUtf8() + '\n' +
                            portLine(m_uri).toUtf8() + '\n' + profile.mid(body);
    QSaveFile file(m_path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    *why = QStringLiteral("cannot write %1: %2").arg(shown(m_path), file.errorString());
    return false;
}

} // namespace qbx
