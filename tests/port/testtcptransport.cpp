#include "porttest.h"
#include "settings/frames.h"
#include "tcpsink.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

using namespace qbx::test;
using Behaviour = TcpSink::Behaviour;
using Result = TeskKit::TransmissionOutcome::Result;
using Stage = TeskKit::TransmissionStage;

class TestTcpTransport : public QObject
{
    Q_OBJECT

private slots:
    void deliveredOnlyWhenThePrinterHasEveryByte_data();
    void deliveredOnlyWhenThePrinterHasEveryByte();
    void misbehavingPrinterFails_data();
    void misbehavingPrinterFails();
};

void TestTcpTransport::deliveredOnlyWhenThePrinterHasEveryByte_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QList<QByteArray>>("writes");

    QTest::newRow("Store Settings") << "127.0.0.1" << Behaviour::ReadAll << repeated(qbx::storeFrame());
    QTest::newRow("50 MB by name") << "localhost" << Behaviour::ReadAll
                                   << QList<QByteArray>{patterned(50 * 1024 * 1024)};
    QTest::newRow("slow reader") << "127.0.0.1" << Behaviour::ReadSlowly
                                 << QList<QByteArray>{patterned(2 * 1024 * 1024)};
    QTest::newRow("printer floods data back")
        << "127.0.0.1" << Behaviour::FloodBack << QList<QByteArray>{patterned(8 * 1024 * 1024)};
}

void TestTcpTransport::deliveredOnlyWhenThePrinterHasEveryByte()
{
    QFETCH(QString, host);
    QFETCH(Behaviour, behaviour);
    QFETCH(QList<QByteArray>, writes);
    TcpSink sink(behaviour);
    TestSession tcp(tcpAt(host, sink.port()), quickTimeouts());

    transmit(tcp.session, writes);

    // Taken the moment ClosePort returned: the printer holds every byte already.
    const QByteArray received = sink.received();
    QVERIFY2(tcp.session.lastOutcome().delivered(), qPrintable(tcp.session.lastOutcome().message()));
    QVERIFY(received == writes.join());
    QCOMPARE(tcp.session.lastOutcome().bytes, received.size());
}

void TestTcpTransport::misbehavingPrinterFails_data()
{
    QTest::addColumn<int>("behaviour"); // -1: nobody listens; -2: a host name that is none
    QTest::addColumn<qint64>("stopAfter");
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<QString>("reason");

    const QList<QByteArray> file(4, patterned(512 * 1024));
    QTest::newRow("not a host name") << -2 << qint64(0) << file << "'kiosk;rm -rf' is not a valid host name";
    QTest::newRow("connection refused")
        << -1 << qint64(0) << file << "Cannot connect to 127.0.0.1:\\d+: connection refused";
    QTest::newRow("never accepts") << int(Behaviour::NeverAccepts) << qint64(0) << file
                                   << "no answer within 3 seconds";
    QTest::newRow("reads 11 bytes of a store, then closes")
        << int(Behaviour::CloseAfter) << qint64(11) << repeated(qbx::storeFrame(), 5)
        << "(closed|reset) the connection";
    // Whether the printer's close arrives as a close or as a reset depends on what it left unread.
    QTest::newRow("closes mid-file") << int(Behaviour::CloseAfter) << qint64(64 * 1024) << file
                                     << "(closed|reset) the connection";
    QTest::newRow("resets mid-file") << int(Behaviour::ResetAfter) << qint64(1000) << file
                                     << "reset the connection";
    QTest::newRow("never reads") << int(Behaviour::NeverRead) << qint64(0) << file
                                 << "took no data for 0.7 seconds";
    QTest::newRow("cancelled while the printer takes nothing")
        << int(Behaviour::NeverRead) << qint64(0) << QList<QByteArray>{patterned(16 << 20)}
        << "was cancelled"; // one write, so that the transport sees the cancel, not the session
}

void TestTcpTransport::misbehavingPrinterFails()
{
    QFETCH(int, behaviour);
    QFETCH(qint64, stopAfter);
    QFETCH(QList<QByteArray>, writes);
    QFETCH(QString, reason);
    auto sink = std::make_unique<TcpSink>(Behaviour(std::max(behaviour, 0)), stopAfter);
    const quint16 port = sink->port();
    if (behaviour == -1)
        sink.reset(); // a port that was free a moment ago and is closed now
    const QString host = behaviour == -2 ? QStringLiteral("kiosk;rm -rf") : QStringLiteral("127.0.0.1");
    // The cancel must stop a write that its own, long stall limit would not.
    const bool cancel = reason == "was cancelled";
    TeskKit::PortTimeouts timeouts = quickTimeouts();
    timeouts.writeStallMs = cancel ? 60000 : timeouts.writeStallMs;
    TestSession tcp(tcpAt(host, port), timeouts);
    std::thread canceller([&] {
        if (!cancel)
            return;
        while (sink->connections() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // well into the stalled write
        tcp.session.requestCancel();
    });
    QElapsedTimer clock;
    clock.start();

    transmit(tcp.session, writes);

    canceller.join();
    const TeskKit::TransmissionOutcome& outcome = tcp.session.lastOutcome();
    QCOMPARE(outcome.result, cancel ? Result::Cancelled : Result::Failed);
    const QString message = outcome.message();
    QVERIFY2(message.contains(behaviour == -2 ? host : QString::number(port)), qPrintable(message));
    QVERIFY(behaviour != -2 || sink->connections() == 0); // nothing sent anywhere
    QVERIFY2(message.contains(QRegularExpression(reason)), qPrintable(message));
    // Where a close and a reset race, the stage may be either of the two after the connect.
    const bool connected = behaviour >= 0 && Behaviour(behaviour) != Behaviour::NeverAccepts;
    QVERIFY(connected ? outcome.stage == Stage::Sending || outcome.stage == Stage::Finishing
                      : outcome.stage == Stage::Connecting);
    QCOMPARE(outcome.partial, connected ? TeskKit::PartialDelivery::Possible : TeskKit::PartialDelivery::No);
    QVERIFY2(clock.elapsed() < (cancel ? 3000 : 5000), qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestTcpTransport)
#include "testtcptransport.moc"
