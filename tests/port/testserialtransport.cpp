#include "frames.h"
#include "porttest.h"

#include <QTest>

using namespace qbx::test;

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
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<PortConfig::Flow>("flow");
    QTest::addColumn<speed_t>("speed");

    // A pseudo-terminal keeps only 8 data bits without parity (see refusedLineIsReported);
    // speed, stop bits and flow control it keeps.
    QTest::newRow("9600 8N1 no flow") << 9600 << 1 << PortConfig::Flow::None << speed_t(B9600);
    QTest::newRow("19200 8N2 hardware flow") << 19200 << 2 << PortConfig::Flow::Hardware << speed_t(B19200);
    QTest::newRow("115200 8N1 software flow")
        << 115200 << 1 << PortConfig::Flow::Software << speed_t(B115200);
}

void TestSerialTransport::bytesArriveAtTheSettings()
{
    QFETCH(qint32, baud);
    QFETCH(int, stopBits);
    QFETCH(PortConfig::Flow, flow);
    QFETCH(speed_t, speed);
    PseudoTerminal pty;
    QVERIFY(!pty.device.isEmpty());
    TestSession serial(serialLine(pty.device, baud, 8, PortConfig::Parity::None, stopBits, flow));
    auto& session = serial.session;

    session.OpenPort();
    const termios line = pty.settings();
    session.WritePort(qbx::storeFrame());
    const QByteArray all = patterned(256); // XON and XOFF included: the line side is raw
    session.WritePort(std::string_view(all.constData(), size_t(all.size())));
    session.ClosePort();

    QVERIFY2(serial.reporter.messages.isEmpty(), qPrintable(serial.reporter.all()));
    QCOMPARE(cfgetospeed(&line), speed);
    QCOMPARE(
        line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS),
        tcflag_t(CS8 | (stopBits == 2 ? CSTOPB : 0) | (flow == PortConfig::Flow::Hardware ? CRTSCTS : 0)));
    QCOMPARE(bool(line.c_iflag & IXON), flow == PortConfig::Flow::Software);
    QCOMPARE(line.c_oflag & OPOST, tcflag_t(0)); // raw output: no newline translation
    const QByteArray expected = bytes(qbx::storeFrame()) + all;
    QCOMPARE(pty.read(expected.size()), expected);
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
        device = pty.device;
    TestSession serial(serialLine(device, 9600, dataBits, parity));

    transmit(serial.session, repeated(qbx::storeFrame()));

    QCOMPARE(serial.reporter.messages.size(), 1);
    QVERIFY2(serial.reporter.messages.first().startsWith(device + reason), qPrintable(serial.reporter.all()));
    QCOMPARE(pty.read(1, 100), QByteArray());
}

QTEST_GUILESS_MAIN(TestSerialTransport)
#include "testserialtransport.moc"
