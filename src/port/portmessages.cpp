#include "port/portmessages.h"

#include <QLocale>

#include <cerrno>
#include <cstring>

namespace qbx {
namespace {

Audience g_audience = Audience::CommandLine;

} // namespace

Problem deviceProblem(const QString& device, int errorNumber)
{
    switch (errorNumber) {
    case EACCES:
    case EPERM:
        return {QStringLiteral("%1: permission denied.").arg(device),
                QStringLiteral("Your user needs access to the device: add it to the 'lp' group (printers) or "
                               "the 'dialout' group (serial lines) and log in again, or add a udev rule that "
                               "grants access.")};
    case EBUSY:
        return {
            QStringLiteral("%1: the device is busy.").arg(device),
            QStringLiteral("Another driver or service holds it (for example a print spooler, ModemManager "
                           "or brltty); stop it or choose another port.")};
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return {QStringLiteral("%1: no such device.").arg(device),
                QStringLiteral("Check that the printer is connected and switched on.")};
    case ENOSPC:
        return {QStringLiteral("%1: no space left on the device: it takes no more data.").arg(device),
                QStringLiteral("Free space on it (or on the disk it stands for), or choose another port.")};
    case EIO:
        return {QStringLiteral("%1: the device reports an input/output error.").arg(device),
                QStringLiteral("Check that the printer is switched on, connected and has paper, then repeat "
                               "the action.")};
    default:
        return {QStringLiteral("%1: %2.").arg(device, QString::fromLocal8Bit(std::strerror(errorNumber))),
                QStringLiteral("Check the device and its connection, then repeat the action, or choose "
                               "another port.")};
    }
}

void setAudience(Audience audience)
{
    g_audience = audience;
}

Problem unusablePort(const PortConfig& config)
{
    QString reason = config.problem();
    if (!reason.isEmpty())
        reason[0] = reason[0].toUpper();
    const bool window = g_audience == Audience::Window;
    if (config.kind == PortConfig::Kind::Queue && config.queueName.isEmpty())
        return {
            reason + QLatin1Char('.'),
            (window ? QStringLiteral("Choose one in the port panel's queue list. When the list finds none, ")
                    : QStringLiteral("Choose one with --port queue:NAME ('lpstat -e' lists them). When there "
                                     "is none, ")) +
                QStringLiteral("either CUPS is not running (start it with 'systemctl start cups') or this "
                               "computer has no print queue yet: add one for the printer in the system's "
                               "printer settings, on the CUPS web page (http://localhost:631/admin) or with "
                               "'lpadmin -p NAME -E -v DEVICE-URI'. Or choose another kind of port.")};
    return {reason + QLatin1Char('.'),
            window ? QStringLiteral("Choose the printer port in the port panel.")
                   : QStringLiteral("Choose the printer port with --port, or save one "
                                    "with 'qbx7config port set'.")};
}

QString sizeText(qint64 bytes)
{
    // Messages are in English and the command line's are read by scripts too: the C locale's digits.
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace qbx
