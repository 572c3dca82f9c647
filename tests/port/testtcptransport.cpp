#include "frames.h"
#include "porttest.h"
#include "recordingport.h"
#include "store.h"
#include "tcpsink.h"

#include <QElapsedTimer>
#include <QTest>

using namespace qbx::test;

namespace {

qbx::ControlSnapshot everySettingChanged()
{
    qbx::ControlSnapshot snapshot;
    snapshot.selection.fill(1);
    snapshot.adjustCutPos = true;
    snapshot.cutOffsetText = "2.5mm";
    snapshot.presenterDelayText = "3s";
    return snapshot;
}

QByteArray patterned(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xff); // NUL and ESC included, no period of a power of two
    return data;
}

} // namespace

class TestTcpTransport : public QObject
{
    Q_OBJECT

private slots:
    void bytesArriveWhole_data();
    void bytesArriveWhole();
    void failureIsReportedOnce_data();
    void failureIsReportedOnce();
    void badHostIsRefusedWithoutTraffic_data();
    void badHostIsRefusedWithoutTraffic();
};

void TestTcpTransport::bytesArriveWhole_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QList<QByteArray>>("writes");

    RecordingPort storeSettings;
    qbx::StoreSettings(storeSettings, everySettingChanged());
    QList<QByteArray> frames;
    for (const std::string& w : storeSettings.writes())
        frames << bytes(w);
    QTest::newRow("a Store Settings transmission") << "127.0.0.1" << frames;
    QTest::newRow("a 50 MB data file") << "localhost" << QList<QByteArray>{patterned(50 * 1024 * 1024)};
}

void TestTcpTransport::bytesArriveWhole()
{
    QFETCH(QString, host);
    QFETCH(QList<QByteArray>, writes);
    TcpSink sink;
    QVERIFY(sink.listening());
    TestSession tcp(tcpAt(host, sink.port()), quickTimeouts());

    transmit(tcp.session, writes);

    QVERIFY2(tcp.reporter.messages.isEmpty(), qPrintable(tcp.reporter.all()));
    QVERIFY(tcp.session.lastOutcome().delivered());
    // ClosePort returned after the sink saw the end of the stream: nothing is still in flight.
    QVERIFY(sink.done());
    const QByteArray expected = writes.join();
    QCOMPARE(sink.received().size(), expected.size());
    QVERIFY(sink.received() == expected);
}

void TestTcpTransport::failureIsReportedOnce_data()
{
    QTest::addColumn<int>("behaviour"); // -1: nobody listens
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("partial");

    QTest::newRow("connection refused")
        << -1 << "Cannot connect to 127.0.0.1:%1: connection refused" << false;
    QTest::newRow("peer closes mid-transfer")
        << int(TcpSink::Behaviour::CloseAfter) << "127.0.0.1:%1" << true;
    QTest::newRow("peer never reads")
        << int(TcpSink::Behaviour::NeverRead) << "took no data for 0.7 seconds" << true;
}

void TestTcpTransport::failureIsReportedOnce()
{
    QFETCH(int, behaviour);
    QFETCH(QString, reason);
    QFETCH(bool, partial);
    auto sink = std::make_unique<TcpSink>(TcpSink::Behaviour(std::max(behaviour, 0)), 64 * 1024);
    const quint16 port = sink->port();
    if (behaviour < 0)
        sink.reset(); // a port that was free a moment ago and is closed now
    TestSession tcp(tcpAt("127.0.0.1", port), quickTimeouts());
    QElapsedTimer clock;
    clock.start();

    transmit(tcp.session, QList<QByteArray>(32, patterned(1024 * 1024)));

    QCOMPARE(tcp.reporter.messages.size(), 1);
    const QString message = tcp.reporter.messages.first();
    QVERIFY2(message.contains(reason.arg(port)), qPrintable(message));
    QCOMPARE(message.contains(QStringLiteral("may have received part")), partial);
    QVERIFY(!tcp.session.lastOutcome().delivered());
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
}

void TestTcpTransport::badHostIsRefusedWithoutTraffic_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("reason");

    QTest::newRow("empty") << QString() << "No network printer is chosen";
    QTest::newRow("blanks only") << "   "
                                 << "No network printer is chosen";
    QTest::newRow("shell characters") << "kiosk;rm -rf"
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
    TestSession tcp(tcpAt(host, sink.port()), quickTimeouts());

    transmit(tcp.session, {bytes(qbx::storeFrame())});

    QCOMPARE(tcp.reporter.messages.size(), 1);
    QVERIFY2(tcp.reporter.messages.first().contains(reason), qPrintable(tcp.reporter.all()));
    QCOMPARE(sink.connections(), 0);
}

QTEST_GUILESS_MAIN(TestTcpTransport)
#include "testtcptransport.moc"
