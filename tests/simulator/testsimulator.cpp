#include "cli/commandline.h"
#include "framescript.h"
#include "golden.h"
#include "settings/catalogue.h"
#include "settings/choices.h"
#include "settings/store.h"
#include "simulator/simulator.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fstream>
#include <mutex>
#include <sstream>

#include <csignal>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using qbx::cli::Simulator;
using qbx::cli::SimulatorSetup;

namespace {

// The simulator on a thread of its own, as a printer beside the transmissions under test,
// which block the test's thread. Its events are collected for the test to read.
class SimulatorThread final : public QThread
{
public:
    explicit SimulatorThread(SimulatorSetup setup, quint16 port = 0)
        : m_setup(std::move(setup))
    {
        m_setup.port = port;
        start();
        m_ready.acquire();
    }
    ~SimulatorThread() override
    {
        quit();
        wait();
    }

    bool started() const { return why.isEmpty(); }

    QString why;
    QString tcpUri;
    QString ptyUri;

    std::vector<QJsonObject> events(const QString& name) const
    {
        std::lock_guard lock(m_mutex);
        return m_events.value(name);
    }

private:
    void run() override
    {
        Simulator simulator([this](const QJsonObject& e) {
            std::lock_guard lock(m_mutex);
            m_events[e.value("event").toString()].push_back(e);
        });
        const bool ok = simulator.start(m_setup, &why);
        tcpUri = simulator.tcpUri();
        ptyUri = simulator.ptyUri();
        m_ready.release();
        if (!ok)
            return;
        exec();
        simulator.stop();
    }

    SimulatorSetup m_setup;
    QSemaphore m_ready;
    mutable std::mutex m_mutex;
    QHash<QString, std::vector<QJsonObject>> m_events; // by their names
};

int runCli(const QStringList& arguments)
{
    QByteArrayList bytes;
    for (const QString& a : arguments)
        bytes << a.toUtf8();
    std::ostringstream discarded;
    return qbx::cli::runCommandLine(bytes, discarded, discarded);
}

// A choice for every setting: a random entry of every list (never "No Change"), the cut offset
// ticked at a random quarter millimetre and, now and then, a custom delay.
qbx::ControlSnapshot randomSelection(quint32 seed)
{
    QRandomGenerator random(seed);
    qbx::ControlSnapshot s;
    for (std::size_t step = 0; step < qbx::kSettingCount; ++step) {
        const auto entries = int(qbx::catalogue()[step].entries.size());
        if (entries > 1)
            s.selection[step] = random.bounded(1, entries);
    }
    s.adjustCutPos = true;
    s.cutOffsetQuarters = random.bounded(qbx::kMinCutQuarters, qbx::kMaxCutQuarters + 1);
    if (random.bounded(2))
        s.selection[qbx::presenterDelayStep()] = int(qbx::customDelayEntry());
    s.presenterDelayHalfSeconds = random.bounded(qbx::kMaxDelayHalfSeconds + 1);
    return s;
}

// The same selection as the KEY=VALUE lines of a profile.
QString profileOf(const qbx::ControlSnapshot& s)
{
    QString text;
    for (std::size_t step = 0; step < qbx::kSettingCount; ++step) {
        const std::string_view key = qbx::catalogue()[step].key;
        QString value;
        if (step == qbx::cutOffsetStep())
            value = QString::number(s.cutOffsetQuarters * 0.25);
        else if (step == qbx::presenterDelayStep() && s.selection[step] == int(qbx::customDelayEntry()))
            value = QString::number(s.presenterDelayHalfSeconds * 0.5);
        else
            value = QString::fromStdString(qbx::entryValue(step, std::size_t(s.selection[step])));
        text += QStringLiteral("%1=%2\n").arg(QString::fromUtf8(key.data(), qsizetype(key.size())), value);
    }
    return text;
}

// The selection that the self-test page shows.
qbx::ControlSnapshot selectionOnPage(const QJsonObject& page)
{
    qbx::ControlSnapshot s;
    const QJsonArray settings = page.value("settings").toArray();
    for (std::size_t step = 0; step < qbx::kSettingCount; ++step) {
        const QJsonObject o = settings.at(qsizetype(step)).toObject();
        s.selection[step] = o.value("entry").toInt(-1);
        if (step == qbx::cutOffsetStep()) {
            s.adjustCutPos = o.contains("number");
            s.cutOffsetQuarters = int(o.value("number").toDouble() * 4);
        } else if (step == qbx::presenterDelayStep()) {
            s.presenterDelayHalfSeconds = int(o.value("number").toDouble() * 2);
            if (o.contains("number") != (s.selection[step] == int(qbx::customDelayEntry())))
                s.selection[step] = -1; // only the custom delay shows a number of its own
        }
    }
    return s;
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    // Whichever line the settings travel on, from a profile of every setting, the page printed
    // afterwards shows what was chosen: every setting reads back as a choice that sends the same
    // commands (a custom delay of 5 s reads as "5 seconds"). Print data sent after them is counted,
    // not taken for frames. The window sends through the same StoreSettings as `store`. The store
    // frame writes the state file, and the next start begins from it; a change that was never
    // stored is gone, as after switching a printer off.
    void storedSelectionIsOnTheSelfTestPage_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::addColumn<quint32>("seed");
        QTest::newRow("TCP") << false << 3841u;
        QTest::newRow("pseudo-terminal") << true << 858u;
    }

    void storedSelectionIsOnTheSelfTestPage()
    {
        QFETCH(bool, pty);
        QFETCH(quint32, seed);
        SimulatorSetup setup;
        setup.pty = pty;
        setup.stateFile = m_dir.filePath(QStringLiteral("%1.state").arg(seed));
        SimulatorThread printer(setup);
        QVERIFY2(printer.started(), qPrintable(printer.why));
        // Over the pseudo-terminal, line settings of the writer's own, which the printer shows.
        const QString uri =
            pty ? printer.ptyUri + QStringLiteral("?baud=19200&stop=2&flow=software") : printer.tcpUri;
        const qbx::ControlSnapshot chosen = randomSelection(seed);
        const QString profile = m_dir.filePath(QStringLiteral("%1.profile").arg(seed));
        std::ofstream(profile.toStdString()) << profileOf(chosen).toStdString();

        // A pseudo-terminal cannot tell two writers apart that come and go between two of its looks
        // for a hang-up, so each transmission is awaited before the next.
        QCOMPARE(runCli({"store", "--from", profile, "--port", uri}), 0);
        QTRY_COMPARE(printer.events("end").size(), std::size_t(1));
        QCOMPARE(runCli({"selftest", "--port", uri}), 0);
        QTRY_COMPARE(printer.events("end").size(), std::size_t(2));
        QCOMPARE(printer.events("selftest").size(), std::size_t(1));
        const QJsonObject line{{"baud", 19200}, {"stopBits", 2}, {"flow", "software"}};
        QCOMPARE(printer.events("transmission").front().value("line").toObject(), pty ? line : QJsonObject());

        const qbx::ControlSnapshot shown = selectionOnPage(printer.events("selftest").front());
        for (std::size_t step = 0; step < qbx::kSettingCount; ++step)
            QVERIFY2(qbx::settingCommands(step, shown) == qbx::settingCommands(step, chosen),
                     std::string(qbx::catalogue()[step].key).c_str());

        // A code page of no entry, never stored.
        const QByteArray data = qbx::test::frames("set 3 FF00") + QByteArray(4096 + int(seed), 'x');
        const QString dataFile = m_dir.filePath(QStringLiteral("%1.dmo").arg(seed));
        std::ofstream(dataFile.toStdString()) << data.toStdString();
        // Over TCP whichever line the settings came on: a network transmission has no line settings.
        QCOMPARE(runCli({"send", dataFile, "--port", printer.tcpUri}), 0);
        QTRY_COMPARE(printer.events("end").size(), std::size_t(3));
        QCOMPARE(printer.events("end").back().value("printData").toInteger(), qint64(4096 + seed));
        QVERIFY(!printer.events("transmission").back().contains("line"));

        // Switched off, the printer lets its terminal and its address go.
        printer.quit();
        printer.wait();
        QVERIFY(!pty || !QFile::exists(uri.section(u':', 1).section(u'?', 0, 0)));
        QTcpSocket knock;
        knock.connectToHost(QHostAddress::LocalHost, quint16(printer.tcpUri.section(':', 2).toUInt()));
        QVERIFY(!knock.waitForConnected(1000));
        // Started again, the printer runs with the values it kept: a store frame keeps them again.
        SimulatorThread again(setup);
        std::ofstream(dataFile.toStdString()) << qbx::test::frames("store, self-test").toStdString();
        QCOMPARE(runCli({"send", dataFile, "--port", again.tcpUri}), 0);
        QTRY_COMPARE(again.events("selftest").size(), std::size_t(1));
        QCOMPARE(selectionOnPage(again.events("selftest").front()).selection, shown.selection);
    }

    // One printer, one transmission: a client that connects while another is sending waits, and
    // its bytes are neither mixed into the first transmission nor lost; so does a writer on the
    // pseudo-terminal, one that opened it before the first client came and writes while it sends.
    void secondClientWaitsForTheFirst_data()
    {
        QTest::addColumn<bool>("pty"); // where the second writes
        QTest::newRow("TCP") << false;
        QTest::newRow("pseudo-terminal") << true;
    }

    void secondClientWaitsForTheFirst()
    {
        QFETCH(bool, pty);
        SimulatorSetup setup;
        setup.pty = pty;
        SimulatorThread printer(setup);
        QVERIFY(printer.started());
        const auto port = quint16(printer.tcpUri.section(':', 2).toUInt());
        const int writer = pty ? ::open(qPrintable(printer.ptyUri.mid(7)), O_WRONLY | O_NOCTTY) : -1;
        QTest::qWait(200); // the printer has seen the writer come
        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(first.waitForConnected());
        first.write("\x1B"); // alone, so that a read takes a single byte
        QVERIFY(first.waitForBytesWritten());
        QTest::qWait(100);
        first.write("\x1D#+3");
        QVERIFY(first.waitForBytesWritten());
        QTRY_COMPARE(printer.events("transmission").size(), std::size_t(1));
        QTcpSocket second;
        if (pty) {
            QCOMPARE(::write(writer, "\x1B?\n", 4), 4);
            ::close(writer);
        } else {
            second.connectToHost(QHostAddress::LocalHost, port);
            second.write("\x1B?\n", 4);
            second.disconnectFromHost();
        }
        QTest::qWait(300);
        QCOMPARE(printer.events("transmission").size(), std::size_t(1));
        first.write("2000\n", 6);
        // Shown as it arrives, while its client still holds the connection.
        QTRY_COMPARE(printer.events("change").size(), std::size_t(1));
        first.disconnectFromHost();
        QTRY_COMPARE(printer.events("end").size(), std::size_t(2));
        const auto ends = printer.events("end");
        QVERIFY(ends[0].value("frames").toInt() == 1 && ends[0].value("printData").toInt() == 0);
        const auto change = printer.events("change").front();
        QCOMPARE(change.value("key").toString() + ' ' + change.value("after").toString(), "code-page 2000");
        QCOMPARE(ends[1].value("frames").toInt(), 1);
        QCOMPARE(printer.events("selftest").size(), std::size_t(1));
    }

    // A writer that sends a frame a byte at a time makes one transmission: over the
    // pseudo-terminal a read of one byte is data, not the writer's close, and over TCP a pause is
    // no end either, nor is it idleness while each byte comes within the idle time, however long
    // the whole frame takes; with the idle time at 0 (never) no pause is one.
    void aFrameByteByByte_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::addColumn<int>("idleMs"); // the TCP client's idle time
        QTest::newRow("pseudo-terminal") << true << 10000;
        QTest::newRow("TCP, the frame longer than the idle time") << false << 250;
        QTest::newRow("TCP, never idle") << false << 0;
    }

    void aFrameByteByByte()
    {
        QFETCH(bool, pty);
        QFETCH(int, idleMs);
        SimulatorSetup setup;
        setup.pty = pty;
        setup.clientIdleMs = idleMs;
        SimulatorThread printer(setup);
        QVERIFY2(printer.started(), qPrintable(printer.why));
        QTcpSocket socket;
        int line = -1;
        if (pty) {
            line = ::open(QFile::encodeName(printer.ptyUri.section(u':', 1)).constData(), O_RDWR | O_NOCTTY);
            QVERIFY(line >= 0);
            termios raw{};
            QCOMPARE(::tcgetattr(line, &raw), 0);
            ::cfmakeraw(&raw);
            QCOMPARE(::tcsetattr(line, TCSANOW, &raw), 0);
        } else {
            socket.connectToHost(QHostAddress::LocalHost, quint16(printer.tcpUri.section(':', 2).toUInt()));
            QVERIFY(socket.waitForConnected(3000));
        }
        for (const char c : std::string("\x1B\x1D#+32000\n", 11)) {
            if (pty)
                QCOMPARE(::write(line, &c, 1), 1);
            else
                QVERIFY(socket.write(&c, 1) == 1 && socket.waitForBytesWritten(1000));
            QTest::qWait(40);
        }
        if (pty)
            ::close(line);
        else
            socket.disconnectFromHost();
        QTRY_COMPARE(printer.events("end").size(), std::size_t(1));
        QCOMPARE(printer.events("change").size(), std::size_t(1));
        QTest::qWait(200);
        QCOMPARE(printer.events("transmission").size(), std::size_t(1));
    }

    // A client that connects and sends nothing is let go after the idle time, its connection
    // closed, and the next is served. The address that close leaves waiting a while is taken
    // all the same by a simulator started again on it.
    // Listening where other machines reach it, the simulator says so.
    void idleClientIsLetGo_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("warns");
        QTest::newRow("loopback") << "127.0.0.1" << false;
        QTest::newRow("another loopback address") << "127.8.9.10" << false;
        QTest::newRow("every address") << "0.0.0.0" << true;
        QTest::newRow("IPv6 loopback") << "::1" << false;
        QTest::newRow("loopback, IPv4-mapped") << "::ffff:127.0.0.1" << false;
    }

    void idleClientIsLetGo()
    {
        QFETCH(QString, host);
        QFETCH(bool, warns);
        SimulatorSetup setup;
        setup.host = host;
        setup.clientIdleMs = 300;
        SimulatorThread printer(setup);
        if (!printer.started() && host.contains(':'))
            QSKIP("this machine has no IPv6 loopback");
        QTcpSocket silent;
        silent.connectToHost(host, quint16(printer.tcpUri.section(':', -1).toUInt()));
        QVERIFY(silent.waitForConnected());
        QCOMPARE(runCli({"selftest", "--port", printer.tcpUri}), 0);
        QTRY_COMPARE(printer.events("selftest").size(), std::size_t(1));
        QCOMPARE(printer.events("idle").size(), std::size_t(1));
        QTRY_COMPARE(silent.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(printer.events("warning").size(), std::size_t(warns));
        printer.quit();
        printer.wait();
        QVERIFY(SimulatorThread(setup, quint16(printer.tcpUri.section(':', -1).toUInt())).started());
    }

    // The command itself, as a person or a script reads it: it names its addresses on its first
    // lines, reports what it receives (over the pseudo-terminal, with the writer's line settings),
    // lets a silent client go after the idle time, refuses a port in use, and ends with status 0 on
    // SIGINT (Ctrl+C) or SIGTERM.
    void commandRunsUntilSignalled_data()
    {
        QTest::addColumn<QStringList>("form");
        QTest::newRow("text") << QStringList{"--pty"};
        QTest::newRow("json") << QStringList{"--json", "--idle", "1"};
    }

    void commandRunsUntilSignalled()
    {
        QFETCH(QStringList, form);
        const bool json = form.contains("--json");
        QProcess process;
        process.start(QStringLiteral(QBX7CONFIG_PROGRAM),
                      QStringList{"simulate", "--listen", "127.0.0.1:0"} + form);
        const QRegularExpression address(QStringLiteral("tcp:127\\.0\\.0\\.1:\\d+"));
        QByteArray out;
        QString uri;
        while ((uri.isEmpty() || (!json && !out.contains("serial:"))) && process.waitForReadyRead(10000)) {
            out += process.readAll();
            uri = address.match(QString::fromUtf8(out)).captured();
        }
        QVERIFY(!uri.isEmpty());
        const QString serial = QRegularExpression("serial:\\S+").match(QString::fromUtf8(out)).captured();

        QProcess busy;
        busy.start(QStringLiteral(QBX7CONFIG_PROGRAM), {"simulate", "--listen", uri.mid(4)});
        QVERIFY(busy.waitForFinished(10000) && busy.exitCode() == 1);
        QVERIFY(busy.readAllStandardError().contains("--listen HOST:PORT"));

        const QString data = m_dir.filePath(QStringLiteral("unstored.dmo"));
        std::ofstream(data.toStdString())
            << qbx::test::frames("set 3 0300, set 9 0001").toStdString() << "print\tdata \xE9\\";
        QCOMPARE(runCli({"store", "zero-style=slashed", "presenter-delay=5", "--port", uri}), 0);
        QCOMPARE(runCli({"selftest", "--port", json ? uri : serial + "?stop=2"}), 0);
        QCOMPARE(runCli({"send", data, "--port", uri}), 0);
        QTcpSocket silent; // let go after the idle time, 10 s unless given
        silent.connectToHost(QHostAddress::LocalHost, quint16(uri.section(':', -1).toUInt()));
        const QByteArray end = !json ? "end of transmission" : R"("event":"end")";
        QTRY_VERIFY_WITH_TIMEOUT((out += process.readAll()).count(end) == 4, 15000);
        ::kill(pid_t(process.processId()), json ? SIGTERM : SIGINT);
        QVERIFY(process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
                process.exitCode() == 0);
        const QString shown =
            QString::fromUtf8(out)
                .replace(QRegularExpression(QStringLiteral("127\\.0\\.0\\.1:\\d+")),
                         QStringLiteral("127.0.0.1:PORT"))
                .replace(QRegularExpression(QStringLiteral("/dev/pts/\\d+")), QStringLiteral("/dev/pts/N"))
                .replace(QRegularExpression(QStringLiteral("(?m)^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} ")),
                         QStringLiteral("TIME "))
                .replace(QRegularExpression(QStringLiteral("\"time\":\"[^\"]+\"")),
                         QStringLiteral("\"time\":\"TIME\""));
        const QString differs = qbx::test::differsFromKept(
            QStringLiteral("simulate-%1.txt").arg(QTest::currentDataTag()), shown.toUtf8());
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "testsimulator.moc"
