#include "port/datafilereader.h"
#include "port/transport.h"
#include "porttest.h"
#include "settings/frames.h"

#include <algorithm>
#include <memory>

#include <QFileInfo>
#include <QTest>

using namespace qbx::test;
using qbx::PortSession;
using Stage = qbx::TransmissionStage;
using Result = qbx::TransmissionOutcome::Result;

namespace {

// Larger than the writes the session gathers: each reaches the transport on its own.
constexpr int kWrite = 5000;

// What the failing transport is to do and what it did, shared so that the test can look after
// the session has dropped the transport.
struct Faults
{
    bool failOpen = false;
    qint64 failAfterBytes = -1; // -1: never
    bool failFinish = false;
    qint64 cancelAfterBytes = -1; // -1: never
    bool fromFile = false;        // the bytes come from a data file, copied by the transport
    qbx::PortSession* session = nullptr;
    QByteArray written{};
    int writes = 0;
    int aborts = 0;
    int finishes = 0;
};

// Drives the session's failure paths; the transports themselves are tested on real ports.
class FailingTransport final : public qbx::Transport
{
public:
    explicit FailingTransport(std::shared_ptr<Faults> plan)
        : m_plan(std::move(plan))
    {}

    bool open() override
    {
        return !m_plan->failOpen ||
               fail(qbx::TransmissionStage::Connecting, {QStringLiteral("test port: cannot open"), {}});
    }

    bool write(QByteArrayView data) override
    {
        ++m_plan->writes;
        const qint64 limit = m_plan->failAfterBytes;
        const qint64 room = limit < 0 ? data.size() : limit - m_plan->written.size();
        m_plan->written.append(data.first(std::clamp<qint64>(room, 0, data.size())));
        if (m_plan->cancelAfterBytes >= 0 && m_plan->written.size() >= m_plan->cancelAfterBytes)
            m_plan->session->requestCancel(); // as Ctrl+C or the Cancel button would, meanwhile
        return room >= data.size() || fail(qbx::TransmissionStage::Sending,
                                           {QStringLiteral("test port: write failed"), {}}, partial());
    }

    bool finish() override
    {
        ++m_plan->finishes;
        return !m_plan->failFinish || fail(qbx::TransmissionStage::Finishing,
                                           {QStringLiteral("test port: finish failed"), {}}, partial());
    }

    void abort() override { ++m_plan->aborts; }

    // A kernel copy may stop short of the length asked: this one copies kWrite bytes at a time.
    std::optional<qint64> copyFrom(int source, qint64 length) override
    {
        QByteArray piece(std::min<qint64>(length, kWrite), '\0');
        piece.resize(::read(source, piece.data(), piece.size()));
        return write(piece) ? piece.size() : -1;
    }

private:
    qbx::PartialDelivery partial() const
    {
        return m_plan->written.isEmpty() ? qbx::PartialDelivery::No : qbx::PartialDelivery::Possible;
    }

    std::shared_ptr<Faults> m_plan;
};

} // namespace

class TestPortSession : public QObject
{
    Q_OBJECT

private slots:
    void failureIsReportedOnce_data()
    {
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("bytesOut");
        QTest::addColumn<Stage>("stage");

        const auto row = [](const char* name, const Faults& faults, const char* reason, int bytesOut,
                            Stage stage) { QTest::newRow(name) << faults << reason << bytesOut << stage; };
        const int all = 31 * kWrite;
        row("open fails", {.failOpen = true}, "cannot open", 0, Stage::Connecting);
        row("first write fails", {.failAfterBytes = 0}, "write failed", 0, Stage::Sending);
        row("fails part-way", {.failAfterBytes = 30}, "write failed", 30, Stage::Sending);
        row("finish fails", {.failFinish = true}, "finish failed", all, Stage::Finishing);
        row("cancelled before the first byte", {.cancelAfterBytes = 0}, "was cancelled", 0, Stage::Sending);
        row("cancelled between two kernel copies of a data file",
            {.cancelAfterBytes = 3 * kWrite, .fromFile = true}, "was cancelled", 3 * kWrite, Stage::Sending);
        row("cancelled after the last write", {.cancelAfterBytes = all}, "was cancelled", all,
            Stage::Sending);
        row("cancelled between the last write and close", {.cancelAfterBytes = all + 1}, "was cancelled", all,
            Stage::Finishing);
    }

    void failureIsReportedOnce()
    {
        QFETCH(Faults, faults);
        QFETCH(QString, reason);
        QFETCH(int, bytesOut);
        QFETCH(Stage, stage);
        const auto plan = std::make_shared<Faults>(faults);
        PortSession session([plan](const PortConfig&) { return std::make_unique<FailingTransport>(plan); });
        plan->session = &session;

        qbx::DataFileReader reader;
        qbx::Problem error;
        // Any file of a few pieces serves as a data file: the test's own program.
        QVERIFY(!plan->fromFile ||
                reader.open("/proc/self/exe", qbx::DataFileReader::Accept::AnyFile, &error));
        if (plan->fromFile) {
            reader.sendTo(session);
        } else {
            session.OpenPort();
            if (plan->cancelAfterBytes == 0)
                session.requestCancel();
            for (int i = 0; i < 31; ++i)
                session.WritePort(std::string(kWrite, '\x1b'));
            if (plan->cancelAfterBytes > plan->written.size())
                session.requestCancel();
            session.ClosePort();
        }

        const QString message = session.lastOutcome().message();
        QVERIFY2(message.contains(reason), qPrintable(message));
        // The printer may have part of it exactly when some went out.
        QCOMPARE(message.contains(QStringLiteral("may have received part")), bytesOut > 0);
        // A failure asks for the action again once it is solved; a cancel was the user's own wish.
        QCOMPARE(message.contains(QStringLiteral("repeat the action once the problem is solved")),
                 bytesOut > 0 && plan->cancelAfterBytes < 0);
        QCOMPARE(plan->written.size(), bytesOut); // the writes after the failure are dropped
        QCOMPARE(session.lastOutcome().stage, stage);
        QCOMPARE(plan->aborts, 1);
        QCOMPARE(plan->finishes, plan->failFinish ? 1 : 0); // a cancelled transmission never completes
        QCOMPARE(session.lastOutcome().result,
                 plan->cancelAfterBytes < 0 ? Result::Failed : Result::Cancelled);
    }

    // The frames of Store Settings reach the port together: one write, the same bytes in order.
    void smallWritesGoOutTogether()
    {
        const auto plan = std::make_shared<Faults>();
        PortSession session([plan](const PortConfig&) { return std::make_unique<FailingTransport>(plan); });
        session.OpenPort();
        const QList<QByteArray> frames = repeated(qbx::storeFrame(), 30) << bytes(qbx::selfTestFrame());
        for (const QByteArray& frame : frames)
            session.WritePort(frame.toStdString());
        session.ClosePort();
        QVERIFY(session.lastOutcome().delivered());
        QCOMPARE(plan->written, frames.join());
        QCOMPARE(plan->writes, 1);
    }

    void keyStaysInsideTheConfigurationFolder()
    {
        const QString folder = QFileInfo(PortSession::settingsFile("TeskQBX7Conf_Comm")).path();
        for (const std::string key : {"../../outside", "/etc/passwd", "", ".hidden"}) {
            const QFileInfo file(PortSession::settingsFile(key));
            QCOMPARE(file.path(), folder);
            QVERIFY2(!file.fileName().startsWith(QLatin1Char('.')), qPrintable(file.fileName()));
        }
    }
};

QTEST_GUILESS_MAIN(TestPortSession)
#include "testportsession.moc"
