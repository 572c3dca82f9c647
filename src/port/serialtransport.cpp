#include "port/serialtransport.h"

#include "port/linespeeds.h"
#include "port/portmessages.h"

#include <QDeadlineTimer>
#include <QSerialPortInfo>
#include <QThread>

#include <cerrno>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace qbx {
namespace {

// Small enough that a slow line (9600 baud moves about 1 KB a second) never keeps a write
// waiting long without progress being seen.
constexpr qint64 kMaxQueued = 1024;
// How often a wait looks for a cancel.
constexpr int kCancelPollMs = 100;

QSerialPort::Parity toQt(PortConfig::Parity parity)
{
    switch (parity) {
    case PortConfig::Parity::Even:
        return QSerialPort::EvenParity;
    case PortConfig::Parity::Odd:
        return QSerialPort::OddParity;
    case PortConfig::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::FlowControl toQt(PortConfig::Flow flow)
{
    switch (flow) {
    case PortConfig::Flow::Hardware:
        return QSerialPort::HardwareControl;
    case PortConfig::Flow::Software:
        return QSerialPort::SoftwareControl;
    case PortConfig::Flow::None:
        break;
    }
    return QSerialPort::NoFlowControl;
}

QString chooseSupportedSettings()
{
    return QStringLiteral("Choose settings the device supports in the port panel.");
}

} // namespace

SerialTransport::SerialTransport(PortConfig config, PortTimeouts timeouts)
    : m_config(std::move(config))
    , m_timeouts(timeouts)
{}

bool SerialTransport::failWithPortError(TransmissionStage stage)
{
    const QString& device = m_config.serialDevice;
    switch (m_port.error()) {
    case QSerialPort::PermissionError: {
        // QSerialPort folds "busy" (the driver, or a lock held by another program) into its
        // permission error; only its text tells them apart.
        const QString text = m_port.errorString();
        const bool busy = text.contains(QLatin1String("busy"), Qt::CaseInsensitive) ||
                          text.contains(QLatin1String("lock"), Qt::CaseInsensitive);
        return fail(stage, deviceProblem(device, busy ? EBUSY : EACCES));
    }
    case QSerialPort::DeviceNotFoundError:
        return fail(stage, deviceProblem(device, ENOENT), partial());
    case QSerialPort::TimeoutError:
        return fail(
            stage,
            {QStringLiteral("%1 took no data for %2 seconds.")
                 .arg(device)
                 .arg(m_timeouts.writeStallMs / 1000.0),
             QStringLiteral("Check the cable, the flow control setting and that the printer is on-line.")},
            partial());
    default:
        return fail(stage,
                    {QStringLiteral("%1: %2.").arg(device, m_port.errorString()),
                     QStringLiteral("Check the cable and that the printer is switched on, then repeat the "
                                    "action, or choose another serial device.")},
                    partial());
    }
}

bool SerialTransport::open()
{
    m_port.setPortName(m_config.serialDevice);
    if (!m_port.open(QIODevice::WriteOnly))
        return failWithPortError(TransmissionStage::Connecting);
    return configure();
}

bool SerialTransport::configure()
{
    const bool ok =
        m_port.setBaudRate(m_config.baudRate) &&
        m_port.setDataBits(static_cast<QSerialPort::DataBits>(m_config.dataBits)) &&
        m_port.setParity(toQt(m_config.parity)) &&
        m_port.setStopBits(m_config.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        m_port.setFlowControl(toQt(m_config.flow));
    if (!ok)
        return fail(TransmissionStage::Connecting,
                    {QStringLiteral("%1 does not accept the settings %2 (%3).")
                         .arg(m_config.serialDevice, lineSettingsText(m_config), m_port.errorString()),
                     chooseSupportedSettings()});
    if (!lineKeepsSettings())
        return fail(TransmissionStage::Connecting,
                    {QStringLiteral("%1 does not accept the settings %2: the line kept others.")
                         .arg(m_config.serialDevice, lineSettingsText(m_config)),
                     chooseSupportedSettings()});
    return true;
}

// Some drivers (pseudo-terminals, some USB adapters) take settings without error and keep their
// own; the printer would then receive garbage, so the line is read back.
bool SerialTransport::lineKeepsSettings() const
{
    termios line{};
    if (::tcgetattr(m_port.handle(), &line) != 0)
        return true; // not a terminal device at all: nothing to compare
    const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    const bool parityOn = m_config.parity != PortConfig::Parity::None;
    const bool software = m_config.flow == PortConfig::Flow::Software;
    const std::optional<speed_t> speed = lineSpeed(m_config.baudRate);
    return (line.c_cflag & CSIZE) == sizes[m_config.dataBits - 5] &&
           bool(line.c_cflag & PARENB) == parityOn &&
           (!parityOn || bool(line.c_cflag & PARODD) == (m_config.parity == PortConfig::Parity::Odd)) &&
           bool(line.c_cflag & CSTOPB) == (m_config.stopBits == 2) &&
           bool(line.c_cflag & CRTSCTS) == (m_config.flow == PortConfig::Flow::Hardware) &&
           bool(line.c_iflag & IXON) == software && bool(line.c_iflag & IXOFF) == software &&
           (!speed || ::cfgetospeed(&line) == *speed);
}

bool SerialTransport::flushDownTo(qint64 pending, TransmissionStage stage)
{
    while (m_port.bytesToWrite() > pending) {
        if (cancelRequested())
            return cancelled(stage, partial());
        // Short waits, so that a cancel is seen; the stall bound counts from the last progress.
        QDeadlineTimer stall(m_timeouts.writeStallMs);
        while (!m_port.waitForBytesWritten(kCancelPollMs)) {
            if (m_port.error() != QSerialPort::TimeoutError)
                return failWithPortError(stage);
            if (cancelRequested())
                return cancelled(stage, partial());
            if (stall.hasExpired())
                return failWithPortError(stage); // a time-out error: "took no data"
        }
    }
    return true;
}

// The line's own output queue: bytes handed to the driver that have not left the device yet.
// Waiting for it to empty is what makes "delivered" mean on the wire, not in a buffer.
bool SerialTransport::drainLine()
{
    QDeadlineTimer stall(m_timeouts.writeStallMs);
    int previous = -1;
    for (;;) {
        int queued{};
        if (::ioctl(m_port.handle(), TIOCOUTQ, &queued) != 0 || queued <= 0) {
            waitForTransmitter();
            return true; // not a terminal with a queue, or empty
        }
        if (queued != previous)
            stall.setRemainingTime(m_timeouts.writeStallMs);
        previous = queued;
        if (cancelRequested())
            return cancelled(TransmissionStage::Finishing, PartialDelivery::Possible);
        if (stall.hasExpired())
            return fail(TransmissionStage::Finishing,
                        {QStringLiteral("%1 kept %2 for %3 seconds without sending it.")
                             .arg(m_config.serialDevice, sizeText(queued))
                             .arg(m_timeouts.writeStallMs / 1000.0),
                         QStringLiteral("Check the cable, the flow control setting and that the printer is "
                                        "on-line.")},
                        PartialDelivery::Possible);
        QThread::msleep(20);
    }
}

bool SerialTransport::write(QByteArrayView data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const qsizetype chunk = std::min<qsizetype>(data.size() - done, kMaxQueued);
        if (m_port.write(data.data() + done, chunk) != chunk)
            return failWithPortError(TransmissionStage::Sending);
        done += chunk;
        m_queued += chunk;
        if (!flushDownTo(kMaxQueued, TransmissionStage::Sending))
            return false;
    }
    return true;
}

bool SerialTransport::finish()
{
    const bool flushed = flushDownTo(0, TransmissionStage::Finishing) && drainLine();
    if (flushed)
        closeKeepingSettings();
    return flushed;
}

// After a transmission the line keeps the printer's settings, as stty leaves a line: whoever
// uses it next without setting it up (cat FILE > DEVICE, a simulator reading what the writer
// set) finds what the printer takes. QSerialPort puts back the settings it found on close, so
// they are set again through a second descriptor of the line.
void SerialTransport::closeKeepingSettings()
{
    const int again = ::fcntl(m_port.handle(), F_DUPFD_CLOEXEC, 0);
    termios line{};
    const bool known = again >= 0 && ::tcgetattr(again, &line) == 0;
    m_port.close();
    if (known)
        ::tcsetattr(again, TCSANOW, &line);
    if (again >= 0)
        ::close(again);
}

// The close restores the line's old settings at once, which would send what is still in the
// UART's own buffer at the old speed and framing. Where the driver tells when its transmitter is
// empty, that is waited for; elsewhere, as long as a 64-byte hardware buffer takes to go out.
void SerialTransport::waitForTransmitter()
{
    constexpr int kHardwareBufferBytes = 64;
    constexpr int kBitsPerCharacter = 12; // start, 8 data, parity, 2 stop at the most
    const int bufferMs = 1 + kHardwareBufferBytes * kBitsPerCharacter * 1000 / std::max(m_config.baudRate, 1);
    QDeadlineTimer deadline(bufferMs);
    unsigned int status = 0;
    while (::ioctl(m_port.handle(), TIOCSERGETLSR, &status) == 0 && !(status & TIOCSER_TEMT) &&
           !deadline.hasExpired())
        QThread::msleep(1);
    if (::ioctl(m_port.handle(), TIOCSERGETLSR, &status) != 0)
        QThread::msleep(bufferMs);
}

PartialDelivery SerialTransport::deliveryIfAborted(qint64) const
{
    return partial();
}

PartialDelivery SerialTransport::partial() const
{
    return m_queued > 0 ? PartialDelivery::Possible : PartialDelivery::No;
}

void SerialTransport::abort()
{
    if (!m_port.isOpen())
        return;
    m_port.clear(QSerialPort::Output);
    m_port.close();
}

Transport* newSerialTransport(const PortConfig& config, const PortTimeouts& timeouts)
{
    return new SerialTransport(config, timeouts);
}

QStringList serialDeviceNames()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.systemLocation();
    return names;
}

} // namespace qbx
