#include "porttest.h"
#include "settings/frames.h"

#include <QTest>

#include <thread>

using namespace qbx::test;
using Flow = PortConfig::Flow;
using Parity = PortConfig::Parity;

class TestSerialTransport : public QObject
{
    Q_OBJECT

private slots:
    void bytesArriveAtTheSettingsOrNotAtAll_data()
    {
        QTest::addColumn<PortConfig>("line"); // no device: the pseudo-terminal
        QTest::addColumn<speed_t>("speed");
        QTest::addColumn<QString>("refusal"); // empty: the line takes the settings and every byte

        // A pseudo-terminal keeps speed, stop bits and flow control, but only 8 data bits without
        // parity. A line that silently kept other settings than the printer's would print garbage: a
        // setting the device refuses ends the transmission before any byte goes out.
        QTest::newRow("9600 8N1 no flow") << serialLine({}) << speed_t(B9600) << QString();
        QTest::newRow("19200 8N2 hardware flow")
            << serialLine({}, 19200, 8, Parity::None, 2, Flow::Hardware) << speed_t(B19200) << QString();
        QTest::newRow("115200 8N1 software flow")
            << serialLine({}, 115200, 8, Parity::None, 1, Flow::Software) << speed_t(B115200) << QString();
        QTest::newRow("7 data bits the pty cannot keep")
            << serialLine({}, 9600, 7) << speed_t(B9600) << " does not accept the settings";
        QTest::newRow("parity the pty cannot keep")
            << serialLine({}, 9600, 8, Parity::Odd) << speed_t(B9600) << " does not accept the settings";
        QTest::newRow("missing device")
            << serialLine("/dev/ttyQBX-not-there") << speed_t(B9600) << ": no such device";
        // A printer that takes nothing: the write stalls, then fails, or the user cancels it.
        QTest::newRow("never read") << serialLine({}) << speed_t(B9600) << " took no data for 0.7 seconds";
        QTest::newRow("never read, cancelled") << serialLine({}) << speed_t(B9600) << " was cancelled";
    }

    void bytesArriveAtTheSettingsOrNotAtAll()
    {
        QFETCH(PortConfig, line);
        QFETCH(speed_t, speed);
        QFETCH(QString, refusal);
        PseudoTerminal pty;
        QVERIFY(!pty.device.isEmpty());
        if (line.serialDevice.isEmpty())
            line.serialDevice = pty.device;
        const bool stalls = refusal.contains(QLatin1String("took no data"));
        const bool cancel = refusal.contains(QLatin1String("cancelled"));
        TestSession serial(line, {.writeStallMs = cancel ? 60000 : 700});
        // XON and XOFF included: the line side is raw. A megabyte fills the terminal's buffers.
        const QByteArray all = patterned(stalls || cancel ? 1 << 20 : 256);
        std::thread canceller([&] {
            if (cancel) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                serial.session.requestCancel();
            }
        });
        serial.session.OpenPort();
        const termios settings = pty.settings();
        serial.session.WritePort(qbx::storeFrame());
        serial.session.WritePort(std::string_view(all.constData(), size_t(all.size())));
        // A pseudo-terminal does not tell when its transmitter is empty: the close waits as long as the 64
        // bytes of a UART's buffer take to go out, at 12 bits each (64 * 12 * 1000 ms / bits a second).
        const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(768000 / line.baudRate);
        serial.session.ClosePort();
        canceller.join();

        if (!refusal.isEmpty()) {
            const qbx::TransmissionOutcome& outcome = serial.session.lastOutcome();
            QVERIFY2(outcome.message().contains(line.serialDevice + refusal), qPrintable(outcome.message()));
            QCOMPARE(outcome.partial,
                     stalls || cancel ? qbx::PartialDelivery::Possible : qbx::PartialDelivery::No);
            QVERIFY(stalls || cancel || pty.read(1, 100).isEmpty());
            return;
        }
        QVERIFY2(serial.session.lastOutcome().delivered(),
                 qPrintable(serial.session.lastOutcome().message()));
        QCOMPARE(cfgetospeed(&settings), speed);
        QVERIFY(std::chrono::steady_clock::now() >= due);
        QCOMPARE(
            settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS),
            tcflag_t(CS8 | (line.stopBits == 2 ? CSTOPB : 0) | (line.flow == Flow::Hardware ? CRTSCTS : 0)));
        QCOMPARE(bool(settings.c_iflag & IXON), line.flow == Flow::Software);
        QCOMPARE(settings.c_oflag & OPOST, tcflag_t(0)); // raw output: no newline translation
        const QByteArray expected = bytes(qbx::storeFrame()) + all;
        QCOMPARE(pty.read(expected.size()), expected);
    }
};

QTEST_GUILESS_MAIN(TestSerialTransport)
#include "testserialtransport.moc"
