#include "catalogue.h"
#include "frames.h"
#include "portsession.h"
#include "recordingport.h"
#include "reporter.h"
#include "store.h"
#include "tcpsink.h"

#include <QElapsedTimer>
#include <QTest>

using qbx::test::TcpSink;
using TeskKit::PortConfig;
using TeskKit::PortSession;

namespace {

class ListReporter : public TeskKit::Reporter
{
public:
    void report(const QString& message) override { messages << message; }
    QStringList messages;
};

PortConfig tcpAt(const QString& host, quint16 port)
{
    PortConfig config;
    config.kind = PortConfig::Kind::Tcp;
    config.host = host;
    config.tcpPort = port;
    return config;
}

// Short enough to keep failing cases quick, long enough for a busy CI machine.
TeskKit::PortTimeouts testTimeouts()
{
    TeskKit::PortTimeouts timeouts;
    timeouts.connectMs = 3000;
    timeouts.writeStallMs = 700;
    timeouts.drainMs = 2000;
    return timeouts;
}

qbx::ControlSnapshot everySettingChanged()
{
    qbx::ControlSnapshot snapshot;
    snapshot.selection.fill(1);
    snapshot.adjustCutPos = true;
    snapshot.cutOffsetText = "2.5mm";
    snapshot.presenterDelayText = "3s";
    return snapshot;
}

QByteArray storeSettingsBytes()
{
    qbx::test::RecordingPort recorder;
    qbx::StoreSettings(recorder, everySettingChanged());
    QByteArray bytes;
    for (const std::string& w : recorder.writes())
        bytes.append(w.data(), qsizetype(w.size()));
    return bytes;
}

QByteArray patterned(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xff); // NUL and ESC included, no period of a power of two
    return data;
}

void send(PortSession& session, const QByteArray& data)
{
    session.OpenPort();
    session.WritePort(std::string_view(data.constData(), size_t(data.size())));
    session.ClosePort();
}

} // namespace

class TestTcpTransport : public QObject
{
    Q_OBJECT

private slots:
    void storeSettingsArriveWhole();
    void largeDataFileArrivesWhole();
    void refusedConnectionIsReported();
    void peerClosingMidTransferIsReported();
    void stalledPeerTimesOut();
    void badHostIsRefusedWithoutTraffic_data();
    void badHostIsRefusedWithoutTraffic();
};

void TestTcpTransport::storeSettingsArriveWhole()
{
    TcpSink sink;
    QVERIFY(sink.listening());
    ListReporter reporter;
    PortSession session(reporter);
    session.setTimeouts(testTimeouts());
    session.setConfig(tcpAt(QStringLiteral("127.0.0.1"), sink.port()));

    qbx::StoreSettings(session, everySettingChanged());

    QVERIFY2(reporter.messages.isEmpty(), qPrintable(reporter.messages.join(QLatin1Char('\n'))));
    QVERIFY(session.lastTransmissionSucceeded());
    // ClosePort returned after the sink saw the end of the stream: nothing is still in flight.
    QVERIFY(sink.done());
    QCOMPARE(sink.received(), storeSettingsBytes());
}

void TestTcpTransport::largeDataFileArrivesWhole()
{
    TcpSink sink;
    ListReporter reporter;
    PortSession session(reporter);
    session.setTimeouts(testTimeouts());
    session.setConfig(tcpAt(QStringLiteral("localhost"), sink.port()));
    const QByteArray file = patterned(50 * 1024 * 1024);

    send(session, file);

    QVERIFY2(reporter.messages.isEmpty(), qPrintable(reporter.messages.join(QLatin1Char('\n'))));
    QVERIFY(sink.done());
    const QByteArray received = sink.received();
    QCOMPARE(received.size(), file.size());
    QVERIFY(received == file);
}

void TestTcpTransport::refusedConnectionIsReported()
{
    quint16 closedPort = 0;
    {
        TcpSink gone; // a port that was free a moment ago and is closed now
        closedPort = gone.port();
    }
    ListReporter reporter;
    PortSession session(reporter);
    session.setTimeouts(testTimeouts());
    session.setConfig(tcpAt(QStringLiteral("127.0.0.1"), closedPort));

    session.OpenPort();
    for (int i = 0; i < 31; ++i)
        session.WritePort(qbx::selfTestFrame());
    session.ClosePort();

    QCOMPARE(reporter.messages.size(), 1);
    const QString message = reporter.messages.first();
    QVERIFY2(message.contains(
                 QStringLiteral("Cannot connect to 127.0.0.1:%1: connection refused").arg(closedPort)),
             qPrintable(message));
    QVERIFY2(!message.contains(QStringLiteral("part of")), qPrintable(message));
    QVERIFY(!session.lastTransmissionSucceeded());
}

void TestTcpTransport::peerClosingMidTransferIsReported()
{
    TcpSink sink(TcpSink::Behaviour::CloseAfter, 64 * 1024);
    ListReporter reporter;
    PortSession session(reporter);
    session.setTimeouts(testTimeouts());
    session.setConfig(tcpAt(QStringLiteral("127.0.0.1"), sink.port()));

    session.OpenPort();
    const QByteArray piece = patterned(1024 * 1024);
    for (int i = 0; i < 32; ++i)
        session.WritePort(std::string_view(piece.constData(), size_t(piece.size())));
    session.ClosePort();

    QCOMPARE(reporter.messages.size(), 1);
    const QString message = reporter.messages.first();
    QVERIFY2(message.contains(QStringLiteral("127.0.0.1:%1").arg(sink.port())), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("may have received part")), qPrintable(message));
    QVERIFY(!session.lastTransmissionSucceeded());
}

void TestTcpTransport::stalledPeerTimesOut()
{
    TcpSink sink(TcpSink::Behaviour::NeverRead);
    ListReporter reporter;
    PortSession session(reporter);
    session.setTimeouts(testTimeouts());
    session.setConfig(tcpAt(QStringLiteral("127.0.0.1"), sink.port()));
    QElapsedTimer clock;
    clock.start();

    send(session, patterned(64 * 1024 * 1024));

    QCOMPARE(reporter.messages.size(), 1);
    const QString message = reporter.messages.first();
    QVERIFY2(message.contains(QStringLiteral("took no data for 0.7 seconds")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("may have received part")), qPrintable(message));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
}

void TestTcpTransport::badHostIsRefusedWithoutTraffic_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("reason");

    QTest::newRow("empty") << QString() << "No network printer is chosen";
    QTest::newRow("blanks only") << "   "
                                 << "No network printer is chosen";
    QTest::newRow("blank inside") << "kiosk 01"
                                  << "not a valid host name";
    QTest::newRow("shell characters") << "kiosk;rm -rf"
                                      << "not a valid host name";
    QTest::newRow("leading hyphen") << "-kiosk"
                                    << "not a valid host name";
    QTest::newRow("empty label") << "kiosk..local"
                                 << "not a valid host name";
    QTest::newRow("too long") << QString(300, QLatin1Char('a')) << "not a valid host name";
}

void TestTcpTransport::badHostIsRefusedWithoutTraffic()
{
    QFETCH(QString, host);
    QFETCH(QString, reason);
    TcpSink sink;
    ListReporter reporter;
    PortSession session(reporter);
    session.setTimeouts(testTimeouts());
    session.setConfig(tcpAt(host, sink.port()));

    send(session, QByteArray(qbx::storeFrame().data(), qsizetype(qbx::storeFrame().size())));

    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().contains(reason), qPrintable(reporter.messages.first()));
    QCOMPARE(sink.connections(), 0);
}

QTEST_GUILESS_MAIN(TestTcpTransport)
#include "testtcptransport.moc"
