#include "cli/storerecord.h"

#include "cli/console.h"
#include "cli/textfiles.h"
#include "settings/choices.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace qbx::cli {
namespace {

const QString kPortLine = QStringLiteral("# port: ");
// Another run adding to the same record holds the lock for a few milliseconds.
constexpr int kLockWaitMs = 10000;

// The folder and the ones above it that are missing, each private to the user as the XDG base
// directories want; false with *why.
bool makeFolder(const QString& folder, QString* why)
{
    if (QFileInfo(folder).isDir())
        return true;
    const QString parent = QFileInfo(folder).path();
    if (parent != folder && !makeFolder(parent, why))
        return false;
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || errno == EEXIST)
        return true;
    *why = QStringLiteral("cannot make the folder %1: %2")
               .arg(printable(folder), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

// "# port: tcp:10.0.0.7:9100": the line that ties a record to its port, a name with a line
// break in it on one line.
QString portLine(const QString& uri)
{
    return kPortLine + printable(uri);
}

} // namespace

QString storeRecordFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/qbx7config");
}

StoreRecord::StoreRecord(const QString& uri)
    : m_uri(uri)
    // Any URI gives a plain, short file name.
    , m_path(storeRecordFolder() + QLatin1Char('/') +
             QString::fromLatin1(
                 QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Sha256).toHex().left(32)) +
             QStringLiteral(".profile"))
{}

ControlSnapshot StoreRecord::held(QString* warning) const
{
    if (!QFileInfo::exists(m_path))
        return {};
    QString text;
    QString why;
    if (!readTextFile(m_path, &text, &why)) {
        *warning = QStringLiteral("the record of %1 cannot be read (%2): it is taken as empty")
                       .arg(printable(m_uri), why);
        return {};
    }
    // Every setting it held may have been forgotten.
    const auto lines = profileChoices(text.toStdString());
    if (const auto* choices = std::get_if<std::vector<std::string>>(&lines); choices && choices->empty())
        return {};
    const auto snapshot = profileSnapshot(text.toStdString());
    if (const auto* error = std::get_if<ChoiceError>(&snapshot))
        why = QString::fromStdString(error->message);
    else if (!text.split(QLatin1Char('\n')).contains(portLine(m_uri)))
        why = QStringLiteral("it names another port");
    else
        return std::get<ControlSnapshot>(snapshot);
    *warning = QStringLiteral("the record of %1 in %2 is damaged (%3): it is taken as empty and replaced "
                              "at the next store that the port confirms")
                   .arg(printable(m_uri), printable(m_path), oneLine(why));
    return {};
}

bool StoreRecord::forget(const ControlSnapshot& sent, QString* why) const
{
    return update([&sent](const ControlSnapshot& held) { return withoutChanged(held, sent); }, why);
}

bool StoreRecord::add(const ControlSnapshot& sent, QString* why) const
{
    return update([&sent](const ControlSnapshot& held) { return overlaid(held, sent); }, why);
}

bool StoreRecord::update(const std::function<ControlSnapshot(const ControlSnapshot&)>& change,
                         QString* why) const
{
    if (!makeFolder(storeRecordFolder(), why))
        return false;
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        *why = QStringLiteral("another run keeps the lock %1").arg(printable(lock.fileName()));
        return false;
    }
    // Read under the lock: another run may have changed it since the caller looked.
    QString damage; // a damaged record is replaced
    const ControlSnapshot before = held(&damage);
    const ControlSnapshot now = change(before);
    if (now == before && damage.isEmpty())
        return true;
    // The profile's heading, then the port.
    const QByteArray profile = QByteArray::fromStdString(profileText(now));
    const qsizetype body = profile.indexOf('\n') + 1;
    const QByteArray text = profile.left(body) + portLine(m_uri).toUtf8() + '\n' + profile.mid(body);
    QSaveFile file(m_path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    *why = QStringLiteral("cannot write %1: %2").arg(printable(m_path), file.errorString());
    return false;
}

} // namespace qbx::cli
