#include "frames.h"
#include "portsession.h"
#include "reporter.h"

#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using TeskKit::PortConfig;
using TeskKit::PortSession;

namespace {

class ListReporter : public TeskKit::Reporter
{
public:
    void report(const QString& message) override { messages << message; }
    QStringList messages;
};

// A pseudo-terminal pair: the program writes to the terminal side as to a serial line, the
// test reads the printer side.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        char name[256] = {};
        if (::openpty(&m_printerSide, &m_lineSide, name, nullptr, nullptr) == 0)
            m_device = QString::fromLocal8Bit(name);
    }
    ~PseudoTerminal()
    {
        ::close(m_printerSide);
        ::close(m_lineSide); // held open so the printer side never sees a hang-up
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    QString device() const { return m_device; }

    // The line settings as the program left them (on Linux the printer side reports them).
    termios settings() const
    {
        termios t{};
        ::tcgetattr(m_printerSide, &t);
        return t;
    }

    QByteArray read(qsizetype expected, int waitMs = 2000) const
    {
        QByteArray data;
        char buffer[4096];
        pollfd ready{m_printerSide, POLLIN, 0};
        while (data.size() < expected && ::poll(&ready, 1, waitMs) > 0) {
            const ssize_t n = ::read(m_printerSide, buffer, sizeof buffer);
            if (n <= 0)
                break;
            data.append(buffer, n);
        }
        return data;
    }

private:
    int m_printerSide = -1;
    int m_lineSide = -1;
    QString m_device;
};

} // namespace

Q_DECLARE_METATYPE(PortConfig::Parity)
Q_DECLARE_METATYPE(PortConfig::Flow)

class TestSerialTransport : public QObject
{
    Q_OBJECT

private slots:
    void bytesArriveAtTheSettings_data();
    void bytesArriveAtTheSettings();
    void framingThePtyCannotKeepIsReported_data();
    void framingThePtyCannotKeepIsReported();
    void missingDeviceIsReported();
};

void TestSerialTransport::bytesArriveAtTheSettings_data()
{
    QTest::addColumn<qint32>("baud");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<PortConfig::Parity>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<PortConfig::Flow>("flow");
    QTest::addColumn<speed_t>("speed");

    // A pseudo-terminal keeps 8 data bits without parity whatever it is asked (see
    // framingThePtyCannotKeepIsReported); speed, stop bits and flow control it keeps.
    QTest::newRow("9600 8N1 no flow")
        << 9600 << 8 << PortConfig::Parity::None << 1 << PortConfig::Flow::None << speed_t(B9600);
    QTest::newRow("19200 8N2 hardware flow")
        << 19200 << 8 << PortConfig::Parity::None << 2 << PortConfig::Flow::Hardware << speed_t(B19200);
    QTest::newRow("115200 8N1 software flow")
        << 115200 << 8 << PortConfig::Parity::None << 1 << PortConfig::Flow::Software << speed_t(B115200);
    QTest::newRow("2400 8N2") << 2400 << 8 << PortConfig::Parity::None << 2 << PortConfig::Flow::None
                              << speed_t(B2400);
}

void TestSerialTransport::bytesArriveAtTheSettings()
{
    QFETCH(qint32, baud);
    QFETCH(int, dataBits);
    QFETCH(PortConfig::Parity, parity);
    QFETCH(int, stopBits);
    QFETCH(PortConfig::Flow, flow);
    QFETCH(speed_t, speed);

    PseudoTerminal pty;
    QVERIFY(!pty.device().isEmpty());
    PortConfig config;
    config.kind = PortConfig::Kind::Serial;
    config.serialDevice = pty.device();
    config.baudRate = baud;
    config.dataBits = dataBits;
    config.parity = parity;
    config.stopBits = stopBits;
    config.flow = flow;
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(config);

    QByteArray data = QByteArray::fromStdString(qbx::storeFrame());
    for (int b = 0; b < 256; ++b)
        data.append(char(b)); // every byte value, XON and XOFF included: the line side is raw
    session.OpenPort();
    const termios line = pty.settings();
    session.WritePort(qbx::storeFrame());
    session.WritePort(std::string_view(data.constData() + qbx::storeFrame().size(), 256));
    session.ClosePort();

    QVERIFY2(reporter.messages.isEmpty(), qPrintable(reporter.messages.join(QLatin1Char('\n'))));
    QCOMPARE(cfgetospeed(&line), speed);
    const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    QCOMPARE(line.c_cflag & CSIZE, sizes[dataBits - 5]);
    QCOMPARE(bool(line.c_cflag & PARENB), parity != PortConfig::Parity::None);
    QCOMPARE(bool(line.c_cflag & PARODD), parity == PortConfig::Parity::Odd);
    QCOMPARE(bool(line.c_cflag & CSTOPB), stopBits == 2);
    QCOMPARE(bool(line.c_cflag & CRTSCTS), flow == PortConfig::Flow::Hardware);
    QCOMPARE(bool(line.c_iflag & IXON), flow == PortConfig::Flow::Software);
    QCOMPARE(line.c_oflag & OPOST, tcflag_t(0)); // raw output: no newline translation
    QCOMPARE(pty.read(data.size()), data);
}

void TestSerialTransport::framingThePtyCannotKeepIsReported_data()
{
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<PortConfig::Parity>("parity");

    QTest::newRow("7 data bits") << 7 << PortConfig::Parity::None;
    QTest::newRow("even parity") << 8 << PortConfig::Parity::Even;
    QTest::newRow("odd parity") << 8 << PortConfig::Parity::Odd;
}

// A line that silently kept other settings than the printer's would print garbage: a setting
// the device refuses ends the transmission before any byte goes out.
void TestSerialTransport::framingThePtyCannotKeepIsReported()
{
    QFETCH(int, dataBits);
    QFETCH(PortConfig::Parity, parity);
    PseudoTerminal pty;
    PortConfig config;
    config.kind = PortConfig::Kind::Serial;
    config.serialDevice = pty.device();
    config.dataBits = dataBits;
    config.parity = parity;
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(config);

    session.OpenPort();
    session.WritePort(qbx::storeFrame());
    session.ClosePort();

    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(
        reporter.messages.first().startsWith(pty.device() + QStringLiteral(" does not accept the settings")),
        qPrintable(reporter.messages.first()));
    QCOMPARE(pty.read(1, 100), QByteArray());
}

void TestSerialTransport::missingDeviceIsReported()
{
    PortConfig config;
    config.kind = PortConfig::Kind::Serial;
    config.serialDevice = QStringLiteral("/dev/ttyQBX-not-there");
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(config);

    session.OpenPort();
    for (int i = 0; i < 31; ++i)
        session.WritePort(qbx::storeFrame());
    session.ClosePort();

    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().startsWith(QStringLiteral("/dev/ttyQBX-not-there: no such device")),
             qPrintable(reporter.messages.first()));
}

QTEST_GUILESS_MAIN(TestSerialTransport)
#include "testserialtransport.moc"
