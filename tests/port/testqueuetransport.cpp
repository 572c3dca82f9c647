#include "port/queuetransport.h"
#include "porttest.h"
#include "settings/frames.h"
#include "tcpsink.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <thread>

#include <csignal>

#include <pwd.h>

using namespace qbx::test;
using qbx::PartialDelivery;
using qbx::TransmissionOutcome;
using qbx::TransmissionStage;

namespace {

// The private cupsd's raw queue, started by the test fixture (cupsd-fixture.sh).
const QString testQueue = qEnvironmentVariable("QBX_TEST_QUEUE");

// The jobs the queue has not finished with: waiting, held, printing or stopped.
QString unfinishedJobs()
{
    return administer({"lpstat", "-o", testQueue}).value_or(QStringLiteral("<lpstat failed>")).trimmed();
}

// Which print server the code under test talks to, in place of the private cupsd.
enum class Server
{
    Private,
    NobodyListens, // a socket path with no server behind it: CUPS is not running
    Silent,        // a listener that takes the connection and never answers
};

// What the queue's device does with the job.
enum class Device
{
    Reads,   // a printer that takes every byte
    Stalls,  // a printer that takes the connection and never reads: the job keeps printing
    Refused, // nothing listens: the backend gives up after about five seconds
    Missing, // nothing listens: the backend keeps trying, as for a printer switched off
};

// Runs the work against the print server at the address. libcups reads CUPS_SERVER once per
// thread, so the work runs on a thread of its own.
template<typename Work>
void runAt(const QByteArray& address, Work work)
{
    const QByteArray saved = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", address);
    std::thread(work).join();
    qputenv("CUPS_SERVER", saved);
}

// Points the queue at a printer stand-in that behaves as asked, kept in *sink.
bool setDevice(Device device, std::unique_ptr<TcpSink>* sink)
{
    *sink = std::make_unique<TcpSink>(device == Device::Stalls ? TcpSink::Behaviour::NeverRead
                                                               : TcpSink::Behaviour::ReadAll);
    QString uri = QStringLiteral("socket://127.0.0.1:%1").arg((*sink)->port());
    if (device == Device::Refused || device == Device::Missing)
        sink->reset(); // frees the port
    if (device == Device::Refused)
        uri += QStringLiteral("/?contimeout=1");
    return administer({"lpadmin", "-p", testQueue, "-v", uri}).has_value();
}

} // namespace

class TestQueueTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Without the private server this test cannot say anything: that is a failure, not a skip.
        QVERIFY2(!qEnvironmentVariable("CUPS_SERVER").isEmpty(),
                 "CUPS_SERVER is not set: the cupsd fixture did not run");
        QVERIFY2(!testQueue.isEmpty() && administer({"lpstat", "-p", testQueue}),
                 "QBX_TEST_QUEUE is not set or the private cupsd does not answer for it");
    }

    void init()
    {
        // Each case starts from an idle, enabled queue without the jobs or policies of an earlier one.
        QVERIFY(administer({"cancel", "-a", testQueue}));
        QVERIFY(administer({"cupsenable", testQueue}) && administer({"cupsaccept", testQueue}));
        QVERIFY(administer({"lpadmin", "-p", testQueue, "-o", "job-hold-until-default=no-hold", "-o",
                            "printer-error-policy=stop-printer"}));
        QTRY_COMPARE(unfinishedJobs(), QString());
    }

    void outcomeIsReported_data()
    {
        QTest::addColumn<Server>("server");
        QTest::addColumn<QString>("queue");
        QTest::addColumn<QStringList>("setup"); // administration before the transmission
        QTest::addColumn<Device>("device");
        QTest::addColumn<int>("cancelAfterMs"); // 0: no cancel, the transmission fails
        QTest::addColumn<QStringList>("says");  // empty: delivered

        const QString queue = testQueue;
        const auto row = [&](const char* name, Server server, const QStringList& setup, Device device,
                             const QStringList& says, int cancelAfterMs = 0, const QString& to = {}) {
            QTest::newRow(name) << server << (to.isNull() ? queue : to) << setup << device << cancelAfterMs
                                << says;
        };
        const auto option = [&](const char* value) {
            return QStringList{"lpadmin", "-p", queue, "-o", value};
        };
        row("bytes reach the printer unchanged", Server::Private, {}, Device::Reads, {});
        row("CUPS not running", Server::NobodyListens, {}, Device::Reads,
            {"CUPS is not running or cannot be reached at /", "systemctl start cups"});
        row("server does not answer", Server::Silent, {}, Device::Reads,
            {"print server at 127.0.0.1:", "does not answer"});
        row("missing queue", Server::Private, {}, Device::Reads,
            {"The print queue 'no-such-queue' does not exist"}, 0, "no-such-queue");
        row("stopped queue", Server::Private, {"cupsdisable", queue}, Device::Reads,
            {"is stopped", "stays in the queue", "cupsenable " + queue});
        row("queue takes no jobs", Server::Private, {"cupsreject", queue}, Device::Reads,
            {"does not accept jobs", "cupsaccept " + queue});
        row("queue holds the job", Server::Private, option("job-hold-until-default=indefinite"),
            Device::Reads, {"holds job", "job-hold-until-specified", "stays in the queue", "-H resume"});
        row("backend aborts the job", Server::Private, option("printer-error-policy=abort-job"),
            Device::Refused, {"aborted job", "The printer is not responding"});
        row("printer cannot be reached", Server::Private, {}, Device::Missing,
            {"cannot reach its printer \\(The printer may not exist", "stays in the queue", "cancel "});
        row("printer never takes the job", Server::Private, {}, Device::Stalls,
            {"still sending job", "stays in the queue", "cancel "});
        // Another job keeps the printer busy, so this one waits, for no reason the queue tells.
        row("printer busy with another job", Server::Private, {"lp", "-d", queue, "/etc/hosts"},
            Device::Stalls, {"still waits in the print queue .* after 1.5 s\\. It stays in the queue"});
        row("cancelled while printing", Server::Private, {}, Device::Stalls,
            {"was cancelled\\. .*Job \\d+ was cancelled\\."}, 1000);
    }

    void outcomeIsReported()
    {
        QFETCH(Server, server);
        QFETCH(QString, queue);
        QFETCH(QStringList, setup);
        QFETCH(Device, device);
        QFETCH(int, cancelAfterMs);
        QFETCH(QStringList, says);
        std::unique_ptr<TcpSink> sink;
        QVERIFY(setDevice(device, &sink));
        QVERIFY(setup.isEmpty() || administer(setup));
        qbx::PortTimeouts timeouts;
        timeouts.printServerMs = 700;
        timeouts.connectMs = 1000;
        // Short only where the printer never takes the job: a cancel must come before the limit.
        timeouts.jobFollowMs = device == Device::Stalls && cancelAfterMs == 0 ? 1500 : 8000;
        TestSession printer(queueNamed(queue), timeouts);
        const QList<QByteArray> writes{bytes(qbx::setFrame("1", "0010")), patterned(64 * 256),
                                       bytes(qbx::storeFrame())};
        QElapsedTimer clock;
        clock.start();
        qint64 transmitted = 0;
        QStringList queues;
        QString whyNoQueues;

        const QTemporaryDir empty;
        const TcpSink silent(TcpSink::Behaviour::NeverRead);
        const QByteArray address = server == Server::Silent ? "127.0.0.1:" + QByteArray::number(silent.port())
                                   : server == Server::NobodyListens
                                       ? QFile::encodeName(empty.filePath("cups.sock"))
                                       : qgetenv("CUPS_SERVER");
        runAt(address, [&] {
            std::thread canceller([&] {
                if (cancelAfterMs > 0) {
                    QThread::msleep(cancelAfterMs);
                    printer.session.requestCancel();
                }
            });
            transmit(printer.session, writes);
            canceller.join();
            transmitted = clock.restart();
            queues = qbx::printQueueNames(&whyNoQueues);
        });
        const qint64 listed = clock.elapsed();

        const TransmissionOutcome& outcome = printer.session.lastOutcome();
        const QString message = outcome.message();
        using Result = TransmissionOutcome::Result;
        const bool delivered = says.isEmpty();
        QVERIFY2(outcome.result == (delivered           ? Result::Delivered
                                    : cancelAfterMs > 0 ? Result::Cancelled
                                                        : Result::Failed),
                 qPrintable(message));
        if (delivered) {
            // Delivered means completed by the queue: the printer has had everything by then.
            QVERIFY(sink->done());
            QCOMPARE(sink->received(), writes.join());
            QCOMPARE(sink->connections(), 1);
            // The job is the user's own, as the queue tells others; the last one listed is the newest.
            const QStringList jobs = administer({"lpstat", "-W", "completed", "-o", testQueue})
                                         .value_or(QString())
                                         .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QCOMPARE(jobs.value(jobs.size() - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts).value(1),
                     QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name));
        } else {
            // A server that answers takes the job when its queue exists; the printer may then have part
            // of it once the queue has begun to send it to its device, which a reading printer gets no
            // chance to.
            const bool taken =
                server == Server::Private && queue == testQueue && setup.value(0) != "cupsreject";
            QCOMPARE(outcome.stage, taken ? TransmissionStage::FollowingJob : TransmissionStage::Connecting);
        }
        // Only a printer that the queue got through to with the job may have part of it.
        QCOMPARE(outcome.partial != PartialDelivery::No, device == Device::Stalls && setup.value(0) != "lp");
        for (const QString& words : says)
            QVERIFY2(message.contains(words) || message.contains(QRegularExpression(words)),
                     qPrintable(message));
        // The advice must fit what became of the job.
        QTRY_COMPARE(!unfinishedJobs().isEmpty(), message.contains(QStringLiteral("stays in the queue")));
        // Every wait is bounded well below the default timeouts.
        QVERIFY2(transmitted < 10000, qPrintable(QString::number(transmitted)));
        // The same server's queue list, or in a few words why there is none.
        QCOMPARE(whyNoQueues, QStringList({"", "CUPS not running", "CUPS not answering"}).at(int(server)));
        QVERIFY(server == Server::Private ? queues.contains(testQueue) : queues.isEmpty());
        QVERIFY2(listed < (server == Server::Silent ? 4000 : 2000), qPrintable(QString::number(listed)));
    }

    // The print server killed: while the data goes up, the job breaks off; once the job is in
    // whole, it is left to the queue, and the user is told how to find it or remove it.
    void serverKilled_data()
    {
        QTest::addColumn<bool>("uploaded"); // killed while the job is followed
        QTest::newRow("during the upload") << false;
        QTest::newRow("while the job is followed") << true;
    }

    void serverKilled()
    {
        QFETCH(bool, uploaded);
        // A server of its own, as the shared one must live on.
        QTemporaryDir folder;
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ExeGroup | QFile::ExeOther));
        const QString dir = folder.path() + QStringLiteral("/cupsd");
        const QString fixture = qEnvironmentVariable("QBX_TEST_CUPSD_FIXTURE");
        QVERIFY(administer({"bash", fixture, "start", dir, "doomed", "9"}));
        const pid_t cupsd = readAll(dir + QStringLiteral("/cupsd.pid")).trimmed().toInt();
        QVERIFY(cupsd > 0);
        TestSession printer(queueNamed(QStringLiteral("doomed")));
        const QByteArray piece(uploaded ? 16 : 1 << 20, 'x');
        auto write = [&] {
            printer.session.WritePort(std::string_view(piece.constData(), size_t(piece.size())));
        };

        runAt(QFile::encodeName(dir + QStringLiteral("/cups.sock")), [&] {
            printer.session.OpenPort();
            write();
            // The job is followed for seconds: its printer (port 9) refuses the connection.
            std::thread killer([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(uploaded ? 1000 : 0));
                ::kill(cupsd, SIGKILL);
            });
            if (!uploaded)
                killer.join();
            for (int i = 0; i < 64 && !uploaded && !printer.session.PortFailed(); ++i)
                write();
            printer.session.ClosePort();
            if (killer.joinable())
                killer.join();
        });
        administer({"bash", fixture, "stop", dir, folder.path() + QStringLiteral("/log")});

        const TransmissionOutcome& outcome = printer.session.lastOutcome();
        QCOMPARE(outcome.result, TransmissionOutcome::Result::Failed);
        QCOMPARE(outcome.stage, uploaded ? TransmissionStage::FollowingJob : TransmissionStage::Sending);
        QCOMPARE(outcome.partial, uploaded ? PartialDelivery::Possible : PartialDelivery::No);
        // libcups' last error still says the job was created fine.
        const QString message = outcome.message();
        QVERIFY2(uploaded ? message.contains(QStringLiteral("went to the queue whole and may still print"))
                          : message.contains(QStringLiteral("broke off while sending the data of job")) &&
                                !message.contains(QStringLiteral("successful")),
                 qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestQueueTransport)
#include "testqueuetransport.moc"
