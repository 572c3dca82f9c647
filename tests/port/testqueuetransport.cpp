#include "frames.h"
#include "porttest.h"
#include "queuetransport.h"
#include "tcpsink.h"

#include <QProcess>
#include <QTest>

using namespace qbx::test;

namespace {

// The private cupsd's raw queue, started by the test fixture (cupsd-fixture.sh).
QString testQueue()
{
    return qEnvironmentVariable("QBX_TEST_QUEUE");
}

// Runs a CUPS administration tool against the private server (CUPS_SERVER is inherited).
bool administer(QStringList command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(command.takeFirst(), command);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

class TestQueueTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bytesReachThePrinterUnchanged();
    void queueIsListed();
    void failureIsReported_data();
    void failureIsReported();
};

void TestQueueTransport::initTestCase()
{
    // Without the private server this test cannot say anything: that is a failure, not a skip.
    QVERIFY2(!qEnvironmentVariable("CUPS_SERVER").isEmpty(),
             "CUPS_SERVER is not set: the cupsd fixture did not run");
    QVERIFY2(!testQueue().isEmpty(), "QBX_TEST_QUEUE is not set");
    QVERIFY2(administer({"lpstat", "-p", testQueue()}), "the private cupsd does not answer");
}

void TestQueueTransport::bytesReachThePrinterUnchanged()
{
    TcpSink sink;
    QVERIFY(sink.listening());
    QVERIFY(administer(
        {"lpadmin", "-p", testQueue(), "-v", QStringLiteral("socket://127.0.0.1:%1").arg(sink.port())}));
    TestSession queue(queueNamed(testQueue()));
    const QList<QByteArray> writes{bytes(qbx::setFrame("1", "0010")), everyByte(64),
                                   bytes(qbx::storeFrame())};

    transmit(queue.session, writes);

    QVERIFY2(queue.reporter.messages.isEmpty(), qPrintable(queue.reporter.all()));
    QVERIFY(queue.session.lastOutcome().delivered());
    QTRY_VERIFY_WITH_TIMEOUT(sink.done(), 30000);
    QCOMPARE(sink.received(), writes.join());
    QCOMPARE(sink.connections(), 1);
}

void TestQueueTransport::queueIsListed()
{
    QVERIFY2(TeskKit::printQueueNames().contains(testQueue()),
             qPrintable(TeskKit::printQueueNames().join(' ')));
}

void TestQueueTransport::failureIsReported_data()
{
    QTest::addColumn<QString>("queue");
    QTest::addColumn<QStringList>("before"); // administration around the transmission
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("reason");

    const QString queue = testQueue();
    QTest::newRow("missing queue") << "no-such-queue" << QStringList() << QStringList()
                                   << "The print queue 'no-such-queue' does not exist";
    QTest::newRow("stopped queue") << queue << QStringList{"cupsdisable", queue}
                                   << QStringList{"cupsenable", queue} << "is stopped";
    QTest::newRow("queue holds the job")
        << queue << QStringList{"lpadmin", "-p", queue, "-o", "job-hold-until-default=indefinite"}
        << QStringList{"lpadmin", "-p", queue, "-o", "job-hold-until-default=no-hold"} << "holds job";
}

void TestQueueTransport::failureIsReported()
{
    QFETCH(QString, queue);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QString, reason);
    QVERIFY(before.isEmpty() || administer(before));
    TestSession printer(queueNamed(queue));

    transmit(printer.session, repeated(qbx::selfTestFrame()));

    QVERIFY(after.isEmpty() || administer(after));
    QCOMPARE(printer.reporter.messages.size(), 1);
    QVERIFY2(printer.reporter.messages.first().contains(reason), qPrintable(printer.reporter.all()));
    QVERIFY(!printer.session.lastOutcome().delivered());
}

QTEST_GUILESS_MAIN(TestQueueTransport)
#include "testqueuetransport.moc"
