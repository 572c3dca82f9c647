#include "portmessages.h"

#include <cerrno>
#include <cstring>

namespace TeskKit {

QString deviceFailure(const QString& device, int errorNumber)
{
    switch (errorNumber) {
    case EACCES:
    case EPERM:
        return QStringLiteral(
                   "%1: permission denied. Your user needs access to the device: add it to the 'lp' group "
                   "(printers) or the 'dialout' group (serial lines) and log in again, or add a udev rule "
                   "that grants access.")
            .arg(device);
    case EBUSY:
        return QStringLiteral(
                   "%1: the device is busy. Another driver or service holds it (for example a print "
                   "spooler, ModemManager or brltty); stop it or choose another port.")
            .arg(device);
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("%1: no such device. Check that the printer is connected and switched on.")
            .arg(device);
    case ENOSPC:
        return QStringLiteral("%1: no space left on the device.").arg(device);
    default:
        return QStringLiteral("%1: %2").arg(device, QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

QString unusablePortMessage(const QString& problem)
{
    QString reason = problem;
    if (!reason.isEmpty())
        reason[0] = reason[0].toUpper();
    return QStringLiteral("%1. Choose the printer port in the port panel (on the command line, with --port "
                          "or 'qbx7config port set').")
        .arg(reason);
}

QString partialTransmissionAdvice()
{
    return QStringLiteral(
        "The printer may have received part of the data: check what it printed, then repeat the action "
        "once the problem is solved.");
}

} // namespace TeskKit
