#include "frames.h"
#include "porttest.h"
#include "queuetransport.h"
#include "tcpsink.h"

#include <QProcess>
#include <QTest>

using qbx::test::ListReporter;
using qbx::test::TcpSink;
using qbx::test::transmit;
using TeskKit::PortConfig;
using TeskKit::PortSession;

namespace {

// The private cupsd's raw queue, started by the test fixture (cupsd-fixture.sh).
QString testQueue()
{
    return qEnvironmentVariable("QBX_TEST_QUEUE");
}

PortConfig queueNamed(const QString& name)
{
    PortConfig config;
    config.kind = PortConfig::Kind::Queue;
    config.queueName = name;
    return config;
}

// Runs a CUPS administration tool against the private server (CUPS_SERVER is inherited).
bool administer(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QByteArray everyByte()
{
    QByteArray data;
    for (int round = 0; round < 64; ++round)
        for (int b = 0; b < 256; ++b)
            data.append(char(b));
    return data;
}

} // namespace

class TestQueueTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bytesReachThePrinterUnchanged();
    void queueIsListed();
    void missingQueueIsReported();
    void jobThatDoesNotPrintIsReported_data();
    void jobThatDoesNotPrintIsReported();
};

void TestQueueTransport::initTestCase()
{
    // Without the private server this test cannot say anything: that is a failure, not a skip.
    QVERIFY2(!qEnvironmentVariable("CUPS_SERVER").isEmpty(),
             "CUPS_SERVER is not set: the cupsd fixture did not run");
    QVERIFY2(!testQueue().isEmpty(), "QBX_TEST_QUEUE is not set");
    QVERIFY2(administer(QStringLiteral("lpstat"), {QStringLiteral("-p"), testQueue()}),
             "the private cupsd does not answer");
}

void TestQueueTransport::bytesReachThePrinterUnchanged()
{
    TcpSink sink;
    QVERIFY(sink.listening());
    QVERIFY(
        administer(QStringLiteral("lpadmin"), {QStringLiteral("-p"), testQueue(), QStringLiteral("-v"),
                                               QStringLiteral("socket://127.0.0.1:%1").arg(sink.port())}));
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(queueNamed(testQueue()));
    const QList<QByteArray> writes{qbx::test::bytes(qbx::setFrame("1", "0010")), everyByte(),
                                   qbx::test::bytes(qbx::storeFrame())};

    transmit(session, writes);

    QVERIFY2(reporter.messages.isEmpty(), qPrintable(reporter.all()));
    QVERIFY(session.lastTransmissionSucceeded());
    QTRY_VERIFY_WITH_TIMEOUT(sink.done(), 30000);
    QCOMPARE(sink.received(), writes.join());
    QCOMPARE(sink.connections(), 1);
}

void TestQueueTransport::queueIsListed()
{
    QVERIFY2(TeskKit::printQueueNames().contains(testQueue()),
             qPrintable(TeskKit::printQueueNames().join(' ')));
}

void TestQueueTransport::missingQueueIsReported()
{
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(queueNamed(QStringLiteral("no-such-queue")));

    transmit(session, qbx::test::repeated(qbx::storeFrame()));

    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().startsWith(
                 QStringLiteral("The print queue 'no-such-queue' does not exist")),
             qPrintable(reporter.messages.first()));
}

void TestQueueTransport::jobThatDoesNotPrintIsReported_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("reason");

    const QString queue = testQueue();
    QTest::newRow("stopped queue") << "cupsdisable" << QStringList{queue} << QStringList{queue}
                                   << "is stopped";
    QTest::newRow("queue holds the job")
        << "lpadmin" << QStringList{"-p", queue, "-o", "job-hold-until-default=indefinite"}
        << QStringList{"-p", queue, "-o", "job-hold-until-default=no-hold"} << "holds job";
}

void TestQueueTransport::jobThatDoesNotPrintIsReported()
{
    QFETCH(QString, program);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QString, reason);
    QVERIFY(administer(program, before));
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(queueNamed(testQueue()));

    transmit(session, {qbx::test::bytes(qbx::selfTestFrame())});

    QVERIFY(
        administer(program == QLatin1String("cupsdisable") ? QStringLiteral("cupsenable") : program, after));
    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().contains(reason), qPrintable(reporter.all()));
    QVERIFY(!session.lastTransmissionSucceeded());
}

QTEST_GUILESS_MAIN(TestQueueTransport)
#include "testqueuetransport.moc"
