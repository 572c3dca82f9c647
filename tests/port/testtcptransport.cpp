#include "porttest.h"
#include "settings/frames.h"
#include "tcpsink.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

using namespace qbx::test;
using Behaviour = TcpSink::Behaviour;
using Result = qbx::TransmissionOutcome::Result;
using Stage = qbx::TransmissionStage;

class TestTcpTransport : public QObject
{
    Q_OBJECT

private slots:
    void deliveredOnlyWhenThePrinterHasEveryByte_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("behaviour"); // -1: nobody listens; -2: the host is no host name
        QTest::addColumn<qint64>("stopAfter");
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QString>("reason"); // empty: delivered

        const auto row = [](const char* name, int behaviour, const QList<QByteArray>& writes,
                            const char* reason, qint64 stopAfter = 0, const char* host = "127.0.0.1") {
            QTest::newRow(name) << host << behaviour << stopAfter << writes << reason;
        };
        const QList<QByteArray> file(4, patterned(512 * 1024));
        row("Store Settings", int(Behaviour::ReadAll), repeated(qbx::storeFrame()), "");
        row("50 MB by name", int(Behaviour::ReadAll), {patterned(50 << 20)}, "", 0, "localhost");
        row("slow reader, after a lone byte", int(Behaviour::ReadSlowly), {"\x1b", patterned(2 << 20)}, "");
        row("reads all, keeps its side open", int(Behaviour::KeepsOpen), file, "");
        row("printer floods data back", int(Behaviour::FloodBack), {patterned(8 << 20)}, "");
        row("not a host name", -2, file, "'kiosk;rm -rf' is not a valid host name", 0, "kiosk;rm -rf");
        row("connection refused", -1, file, "Cannot connect to 127.0.0.1:\\d+: connection refused");
        row("never accepts", int(Behaviour::NeverAccepts), file, "no answer within 3 seconds");
        // Whether the printer's close arrives as a close or as a reset depends on what it left unread.
        row("reads 11 bytes of a store, then closes", int(Behaviour::CloseAfter),
            repeated(qbx::storeFrame(), 5), "(closed|reset) the connection", 11);
        row("closes mid-file", int(Behaviour::CloseAfter), file, "(closed|reset) the connection", 64 * 1024);
        row("stops reading and closes its side", int(Behaviour::HalfCloses), {patterned(64 << 20)},
            "closed the connection while the data was being sent \\([0-9.]+ (bytes|KB|MB) of the "
            "[0-9.]+ (bytes|KB|MB) sent were not acknowledged\\)");
        row("resets mid-file", int(Behaviour::ResetAfter), file, "reset the connection", 1000);
        // Two megabytes fit in the connection's buffers, and the wait is for the printer's acknowledgement.
        row("never reads", int(Behaviour::NeverRead), file, "took no data for 0.7 seconds");
        row("never reads a file larger than the buffers", int(Behaviour::NeverRead), {patterned(64 << 20)},
            "took no data for 0.7 seconds \\([0-9.]+ (bytes|KB|MB) sent\\)");
        // One write, so that the transport sees the cancel, not the session; the printer hears of
        // it at once, by a reset.
        row("cancelled while the printer reads slowly", int(Behaviour::ReadSlowly), {patterned(64 << 20)},
            "was cancelled");
    }

    void deliveredOnlyWhenThePrinterHasEveryByte()
    {
        QFETCH(QString, host);
        QFETCH(int, behaviour);
        QFETCH(qint64, stopAfter);
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QString, reason);
        auto sink = std::make_unique<TcpSink>(Behaviour(std::max(behaviour, 0)), stopAfter);
        const quint16 port = sink->port();
        if (behaviour == -1)
            sink.reset(); // a port that was free a moment ago and is closed now
        // The cancel must stop a write that its own, long stall limit would not.
        const bool cancel = reason == "was cancelled";
        qbx::PortTimeouts timeouts = quickTimeouts();
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
        const qbx::TransmissionOutcome& outcome = tcp.session.lastOutcome();
        const QString message = outcome.message();
        if (reason.isEmpty()) {
            // Taken the moment ClosePort returned: the printer holds every byte already.
            const QByteArray received = sink->received();
            QVERIFY2(outcome.delivered(), qPrintable(message));
            QVERIFY(received == writes.join());
            QCOMPARE(outcome.bytes, received.size());
            // Done once every byte is acknowledged and the printer had its time to close.
            QVERIFY2(Behaviour(behaviour) != Behaviour::KeepsOpen || clock.elapsed() < 650,
                     qPrintable(QString::number(clock.elapsed())));
            return;
        }
        QCOMPARE(outcome.result, cancel ? Result::Cancelled : Result::Failed);
        QTRY_VERIFY(!cancel || sink->wasReset());
        QVERIFY2(message.contains(behaviour == -2 ? host : QString::number(port)), qPrintable(message));
        QVERIFY(behaviour != -2 || sink->connections() == 0); // nothing sent anywhere
        QVERIFY2(message.contains(QRegularExpression(reason)), qPrintable(message));
        // Where a close and a reset race, the stage may be either of the two after the connect.
        const bool connected = behaviour >= 0 && Behaviour(behaviour) != Behaviour::NeverAccepts;
        QVERIFY(connected ? outcome.stage == Stage::Sending || outcome.stage == Stage::Finishing
                          : outcome.stage == Stage::Connecting);
        QCOMPARE(outcome.partial, connected ? qbx::PartialDelivery::Possible : qbx::PartialDelivery::No);
        QVERIFY2(clock.elapsed() < (cancel ? 3000 : 5000), qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestTcpTransport)
#include "testtcptransport.moc"
