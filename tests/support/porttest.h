#pragma once

#include "port/portkinds.h"
#include "port/portsession.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStringList>

#include <optional>
#include <string>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace qbx::test {

using qbx::PortConfig;

// A session on one port; the timeouts default to the program's own.
struct TestSession
{
    explicit TestSession(const PortConfig& config, const qbx::PortTimeouts& timeouts = {})
    {
        session.setTimeouts(timeouts);
        session.setConfig(config);
    }

    qbx::PortSession session;
};

// Short enough to keep failing cases quick, long enough for a busy CI machine.
inline qbx::PortTimeouts quickTimeouts()
{
    return {.connectMs = 3000, .writeStallMs = 700, .drainMs = 300, .deviceOpenMs = 300};
}

// Every byte value in each 256 (NUL, XON, XOFF and ESC included), without a period of a power of
// two, so that a piece sent twice or skipped shows.
inline QByteArray patterned(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xff);
    return data;
}

inline QByteArray bytes(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

// One transmission: open, the writes in order, close.
inline void transmit(qbx::PortSession& session, const QList<QByteArray>& writes)
{
    session.OpenPort();
    for (const QByteArray& w : writes)
        session.WritePort(std::string_view(w.constData(), size_t(w.size())));
    session.ClosePort();
}

// A Store Settings click's worth of writes, enough to show one report per transmission.
inline QList<QByteArray> repeated(const std::string& frame, int times = 31)
{
    return QList<QByteArray>(times, bytes(frame));
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

// Each field not named keeps its default, which GCC would warn of.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

inline PortConfig fileAt(const QString& path)
{
    return {.filePath = path};
}

inline PortConfig tcpAt(const QString& host, quint16 port = PortConfig::kRawPrintingPort)
{
    return {.kind = PortConfig::Kind::Tcp, .host = host, .tcpPort = port};
}

inline PortConfig queueNamed(const QString& name)
{
    return {.kind = PortConfig::Kind::Queue, .queueName = name};
}

inline PortConfig serialLine(const QString& device, qint32 baud = 9600, int data = 8,
                             PortConfig::Parity parity = PortConfig::Parity::None, int stop = 1,
                             PortConfig::Flow flow = PortConfig::Flow::None)
{
    return {.kind = PortConfig::Kind::Serial,
            .serialDevice = device,
            .baudRate = baud,
            .dataBits = data,
            .parity = parity,
            .stopBits = stop,
            .flow = flow};
}

#pragma GCC diagnostic pop

// Runs a tool (CUPS administration, a fixture script) with the test's environment, so against the
// private cupsd; what it printed, or nothing when it failed.
inline std::optional<QString> administer(QStringList command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(command.takeFirst(), command);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode())
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// A pseudo-terminal pair (link with util): the program writes to the line side as to a serial
// line, the test reads the printer side. Both stay open, so the printer side never sees a hang-up.
struct PseudoTerminal
{
    PseudoTerminal()
    {
        char name[256] = {};
        if (::openpty(&printerSide, &lineSide, name, nullptr, nullptr) == 0)
            device = QString::fromLocal8Bit(name);
    }
    ~PseudoTerminal()
    {
        ::close(printerSide);
        ::close(lineSide);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The line settings as the program left them (on Linux the printer side reports them).
    termios settings() const
    {
        termios t{};
        ::tcgetattr(printerSide, &t);
        return t;
    }
    QByteArray read(qsizetype expected, int waitMs = 2000) const
    {
        QByteArray data;
        char buffer[4096];
        pollfd ready{printerSide, POLLIN, 0};
        for (ssize_t n; data.size() < expected && ::poll(&ready, 1, waitMs) > 0 &&
                        (n = ::read(printerSide, buffer, sizeof buffer)) > 0;)
            data.append(buffer, n);
        return data;
    }

    int printerSide = -1;
    int lineSide = -1;
    QString device;
};

} // namespace qbx::test
