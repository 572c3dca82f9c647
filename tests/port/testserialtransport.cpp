#include "frames.h"
#include "porttest.h"

#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using qbx::test::ListReporter;
using TeskKit::PortConfig;
using TeskKit::PortSession;

namespace {

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

PortConfig serialLine(const QString& device, int dataBits = 8,
                      PortConfig::Parity parity = PortConfig::Parity::None)
{
    PortConfig config;
    config.kind = PortConfig::Kind::Serial;
    config.serialDevice = device;
    config.dataBits = dataBits;
    config.parity = parity;
    return config;
}

} // namespace

Q_DECLARE_METATYPE(PortConfig::Parity)
Q_DECLARE_METATYPE(PortConfig::Flow)

class TestSerialTransport : public QObject
{
    Q_OBJECT

private slots:
    void bytesArriveAtTheSettings_data();
    void bytesArriveAtTheSettings();
    void refusedLineIsReported_data();
    void refusedLineIsReported();
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
    // refusedLineIsReported); speed, stop bits and flow control it keeps.
    QTest::newRow("9600 8N1 no flow")
        << 9600 << 8 << PortConfig::Parity::None << 1 << PortConfig::Flow::None << speed_t(B9600);
    QTest::newRow("19200 8N2 hardware flow")
        << 19200 << 8 << PortConfig::Parity::None << 2 << PortConfig::Flow::Hardware << speed_t(B19200);
    QTest::newRow("115200 8N1 software flow")
        << 115200 << 8 << PortConfig::Parity::None << 1 << PortConfig::Flow::Software << speed_t(B115200);
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
    PortConfig config = serialLine(pty.device(), dataBits, parity);
    config.baudRate = baud;
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

    QVERIFY2(reporter.messages.isEmpty(), qPrintable(reporter.all()));
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

void TestSerialTransport::refusedLineIsReported_data()
{
    QTest::addColumn<QString>("device"); // empty: the pseudo-terminal
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<PortConfig::Parity>("parity");
    QTest::addColumn<QString>("reason");

    // A line that silently kept other settings than the printer's would print garbage: a setting
    // the device refuses ends the transmission before any byte goes out.
    QTest::newRow("7 data bits the pty cannot keep")
        << QString() << 7 << PortConfig::Parity::None << " does not accept the settings";
    QTest::newRow("parity the pty cannot keep")
        << QString() << 8 << PortConfig::Parity::Odd << " does not accept the settings";
    QTest::newRow("missing device") << "/dev/ttyQBX-not-there" << 8 << PortConfig::Parity::None
                                    << ": no such device";
}

void TestSerialTransport::refusedLineIsReported()
{
    QFETCH(QString, device);
    QFETCH(int, dataBits);
    QFETCH(PortConfig::Parity, parity);
    QFETCH(QString, reason);
    PseudoTerminal pty;
    if (device.isEmpty())
        device = pty.device();
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(serialLine(device, dataBits, parity));

    qbx::test::transmit(session, qbx::test::repeated(qbx::storeFrame()));

    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().startsWith(device + reason), qPrintable(reporter.all()));
    QCOMPARE(pty.read(1, 100), QByteArray());
}

QTEST_GUILESS_MAIN(TestSerialTransport)
#include "testserialtransport.moc"
