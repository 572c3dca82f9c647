#include "frames.h"
#include "portsession.h"
#include "queuetransport.h"
#include "reporter.h"
#include "tcpsink.h"

#include <QProcess>
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

void send(PortSession& session, const QList<QByteArray>& writes)
{
    session.OpenPort();
    for (const QByteArray& w : writes)
        session.WritePort(std::string_view(w.constData(), size_t(w.size())));
    session.ClosePort();
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
    void stoppedQueueIsReported();
    void heldJobIsReported();
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
    const QList<QByteArray> writes{QByteArray::fromStdString(qbx::setFrame("1", "0010")), everyByte(),
                                   QByteArray::fromStdString(qbx::storeFrame())};

    send(session, writes);

    QVERIFY2(reporter.messages.isEmpty(), qPrintable(reporter.messages.join(QLatin1Char('\n'))));
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

    session.OpenPort();
    for (int i = 0; i < 31; ++i)
        session.WritePort(qbx::storeFrame());
    session.ClosePort();

    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().startsWith(
                 QStringLiteral("The print queue 'no-such-queue' does not exist")),
             qPrintable(reporter.messages.first()));
}

void TestQueueTransport::stoppedQueueIsReported()
{
    QVERIFY(administer(QStringLiteral("cupsdisable"), {testQueue()}));
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(queueNamed(testQueue()));

    send(session, {QByteArray::fromStdString(qbx::selfTestFrame())});

    QVERIFY(administer(QStringLiteral("cupsenable"), {testQueue()}));
    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().contains(QStringLiteral("is stopped")),
             qPrintable(reporter.messages.first()));
    QVERIFY(!session.lastTransmissionSucceeded());
}

void TestQueueTransport::heldJobIsReported()
{
    QVERIFY(administer(QStringLiteral("lpadmin"), {QStringLiteral("-p"), testQueue(), QStringLiteral("-o"),
                                                   QStringLiteral("job-hold-until-default=indefinite")}));
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(queueNamed(testQueue()));

    send(session, {QByteArray::fromStdString(qbx::selfTestFrame())});

    QVERIFY(administer(QStringLiteral("lpadmin"), {QStringLiteral("-p"), testQueue(), QStringLiteral("-o"),
                                                   QStringLiteral("job-hold-until-default=no-hold")}));
    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().contains(QStringLiteral("holds job")),
             qPrintable(reporter.messages.first()));
}

QTEST_GUILESS_MAIN(TestQueueTransport)
#include "testqueuetransport.moc"
