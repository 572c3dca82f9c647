#include "tcpsink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fstream>
#include <memory>

#include <poll.h>
#include <pty.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// Instead of an exit status: the window was asked for, which says there is no display and exits.
constexpr int kWindow = -1;

// The built program, started as a user starts it over SSH: no display at all, and the X11
// platform forced, so any GUI application it created would fail to start.
class TestMain : public QObject
{
    Q_OBJECT

    int m_lineMaster = -1; // a pseudo-terminal that stands for a serial line
    int m_line = -1;

private slots:
    void startsWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("home"); // whether HOME is set
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("firstLine"); // its beginning

        const auto row = [](const char* name, const QStringList& arguments, int status, const QString& line) {
            QTest::newRow(name) << arguments << true << status << line;
        };
        row("version", {"--version"}, 0, "QBX7Config Version ");
        row("help", {"--help"}, 0, "Usage: qbx7config [COMMAND [OPTIONS] [ARGUMENTS]]");
        row("command", {"store", "--dry-run", "asb=enable"}, 0,
            "1B 1D 23 2B 37 31 30 30 30 0A 00  set 7 1000  ASB Status Checking = Enable");
        row("window option before a command: a usage error",
            {"-platform", "xcb", "store", "--dry-run", "asb=enable"}, 2, "");
        QTest::newRow("no HOME: the account's home, never the root")
            << QStringList{"port"} << false << 0
            << QStringLiteral("file:%1/QBX740.prn").arg(QFile::decodeName(::getpwuid(::getuid())->pw_dir));
        // A line that Qt watches, a pseudo-terminal here, with nothing said on standard error.
        QVERIFY(::openpty(&m_lineMaster, &m_line, nullptr, nullptr, nullptr) == 0);
        const QString line = QStringLiteral("serial:") + QFile::decodeName(::ttyname(m_line));
        row("serial line", {"selftest", "--port", line}, 0, "OK " + line);
        row("no arguments: the window", {}, kWindow, "");
        row("window options alone: the window", {"--platform=xcb", "-style", "fusion", "-reverse"}, kWindow,
            "");
    }

    void startsWithoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, home);
        QFETCH(int, status);
        QFETCH(QString, firstLine);

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", home ? "" : "HOME"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QBX7CONFIG_PROGRAM), arguments);
        QVERIFY(process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status == kWindow ? 1 : status);
        if (status == kWindow) {
            QVERIFY(process.readAllStandardError().contains("no display to show the window on"));
            return;
        }
        const QString line =
            QString::fromUtf8(process.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
        QVERIFY2(firstLine.isEmpty() ? line.isEmpty() : line.startsWith(firstLine), qPrintable(line));
        const QByteArray errors = process.readAllStandardError();
        QVERIFY2(status != 0 || errors.isEmpty(), errors.constData());
    }

    // The window and the serial transport are modules beside the program; a copy of the program
    // without them still runs its commands, and says which module is missing where one is needed.
    void aCopyWithoutItsModulesSaysSo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("window") << QStringList{"-platform", "offscreen"}
                                << "cannot open the window: the file %1/qbx7config-window.so is missing";
        QTest::newRow("serial line") << QStringList{"selftest", "--port", "serial:/dev/ttyS0"}
                                     << "the program's serial support cannot be loaded (the file "
                                        "%1/qbx7config-serial.so is missing)";
    }

    void aCopyWithoutItsModulesSaysSo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("bin/qbx7config"));
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("bin"))));
        QVERIFY(QFile::copy(QStringLiteral(QBX7CONFIG_PROGRAM), program));
        QProcess process;
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(30000) && process.exitCode() == 1);
        const QString errors =
            QString::fromUtf8(process.readAllStandardError() + process.readAllStandardOutput());
        QVERIFY2(errors.contains(error.arg(folder.filePath(QStringLiteral("libexec/qbx7config")))),
                 qPrintable(errors));
    }
    // Started with its standard input closed, as some services start a program, the first file it
    // keeps open takes descriptor 0: the data file, the port's file or socket, or the lock of the
    // record of what was stored. Each is used all the same, and the printer gets what a run with
    // the input open sends.
    void worksWithItsStandardInputClosed_data()
    {
        QTest::addColumn<QStringList>("arguments"); // %1: a folder of the run's own, %2: the printer's port
        QTest::newRow("data file") << QStringList{"send", "%1/data.prn", "--port", "file:%1/out.prn"};
        QTest::newRow("port's file") << QStringList{"selftest", "--port", "file:%1/out.prn"};
        QTest::newRow("record's lock")
            << QStringList{"store", "zero-style=slashed", "--port", "file:%1/out.prn"};
        QTest::newRow("socket") << QStringList{"selftest", "--port", "tcp:127.0.0.1:%2"};
    }

    void worksWithItsStandardInputClosed()
    {
        QFETCH(QStringList, arguments);
        const auto sent = [&](bool inputClosed) -> QByteArray {
            const QTemporaryDir folder;
            std::ofstream(folder.filePath(QStringLiteral("data.prn")).toStdString()) << "\x1b@data\n";
            const qbx::test::TcpSink printer;
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_STATE_HOME"), folder.filePath(QStringLiteral("state")));
            process.setProcessEnvironment(env);
            if (inputClosed)
                process.setChildProcessModifier([] { ::close(STDIN_FILENO); });
            QStringList filled;
            for (const QString& argument : arguments)
                filled << QString(argument)
                              .replace(QLatin1String("%1"), folder.path())
                              .replace(QLatin1String("%2"), QString::number(printer.port()));
            process.start(QStringLiteral(QBX7CONFIG_PROGRAM), filled);
            const bool ok = process.waitForFinished(30000) && process.exitCode() == 0 &&
                            process.readAllStandardOutput().startsWith("OK ");
            const QByteArray said = process.readAllStandardError(); // a record not kept, say
            if (!ok || !said.isEmpty())
                return "failed: " + said;
            if (QFile out(folder.filePath(QStringLiteral("out.prn"))); out.open(QIODevice::ReadOnly))
                return out.readAll();
            return printer.received(); // complete: the program waits for the printer's close
        };
        const QByteArray usual = sent(false);
        QVERIFY2(!usual.isEmpty() && !usual.startsWith("failed"), usual.constData());
        QCOMPARE(sent(true), usual);
    }

    // An endless source must end with its transmission: when the port fails, and when the user
    // interrupts a transmission that would otherwise go on for ever.
    void endlessDataStopsWithItsPort_data()
    {
        QTest::addColumn<QString>("source"); // /dev/stdin: a pipe whose writer stays silent
        // Sent once a printer that never reads is connected; 0: the port is refused instead.
        QTest::addColumn<int>("signal");

        QTest::newRow("refused port") << "/dev/zero" << 0;
        QTest::newRow("silent pipe, refused port") << "/dev/stdin" << 0;
        QTest::newRow("silent pipe, interrupted") << "/dev/stdin" << int(SIGINT);
        QTest::newRow("terminated") << "/dev/zero" << int(SIGTERM);
    }

    void endlessDataStopsWithItsPort()
    {
        QFETCH(QString, source);
        QFETCH(int, signal);
        auto printer = std::make_unique<qbx::test::TcpSink>(qbx::test::TcpSink::Behaviour::NeverRead);
        const quint16 port = printer->port();
        if (signal == 0)
            printer.reset();

        QProcess process;
        process.start(QStringLiteral(QBX7CONFIG_PROGRAM),
                      {"send", source, "--port", QStringLiteral("tcp:127.0.0.1:%1").arg(port)});
        QVERIFY(process.waitForStarted());
        if (signal != 0) {
            // Once connected, the transmission is under way and its handlers are in place.
            QTRY_VERIFY_WITH_TIMEOUT(printer->connections() > 0, 10000);
            QVERIFY(!process.waitForFinished(200));
            ::kill(pid_t(process.processId()), signal);
        }

        QVERIFY2(process.waitForFinished(3000), "the program went on reading");
        QCOMPARE(process.exitCode(), signal == 0 ? 1 : 128 + signal);
        QVERIFY(process.readAllStandardOutput().startsWith(signal == 0 ? "FAILED tcp:127.0.0.1:"
                                                                       : "CANCELLED tcp:127.0.0.1:"));
    }

    // On a terminal, a transmission that lasts says how it goes, on one line rewritten in place.
    void progressShowsOnATerminal()
    {
        int terminal = -1;
        int line = -1;
        QVERIFY(::openpty(&terminal, &line, nullptr, nullptr, nullptr) == 0);
        const qbx::test::TcpSink printer(qbx::test::TcpSink::Behaviour::ReadSlowly);
        QProcess send;
        send.setChildProcessModifier([line] { ::dup2(line, STDERR_FILENO); });
        send.start(QStringLiteral(QBX7CONFIG_PROGRAM),
                   QStringList{"send", "/dev/zero", "--port",
                               QStringLiteral("tcp:127.0.0.1:%1").arg(printer.port())});
        QByteArray shown;
        char piece[4096];
        for (QDeadlineTimer deadline(10000); !shown.contains("/s") && !deadline.hasExpired();)
            if (pollfd ready{terminal, POLLIN, 0}; ::poll(&ready, 1, 100) > 0)
                shown.append(piece, std::max<ssize_t>(0, ::read(terminal, piece, sizeof piece)));
        ::kill(pid_t(send.processId()), SIGINT);
        QVERIFY(send.waitForFinished(5000));
        ::close(terminal);
        ::close(line);
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^\\r\\x1b\\[Ktcp:127\\.0\\.0\\.1:\\d+: sending [0-9.]+ [kM]?B, "
                                    "[0-9.]+ [kM]?B/s"))
                     .match(QString::fromUtf8(shown))
                     .hasMatch(),
                 shown.constData());
    }

    // More ports at once than open files allowed: fewer at a time, down to one when the program
    // keeps more for itself than the limit leaves, and every port gets its line.
    void aFleetStaysWithinTheOpenFileLimit_data()
    {
        QTest::addColumn<QString>("openFiles");
        QTest::newRow("64") << "64";
        QTest::newRow("24, one port at a time") << "24";
    }

    void aFleetStaysWithinTheOpenFileLimit()
    {
        QFETCH(QString, openFiles);
        const QTemporaryDir folder;
        QProcess fleet;
        fleet.start(QStringLiteral("bash"),
                    {"-c",
                     "for i in {1..100}; do echo \"file:$1/$i.prn\"; done >\"$1/ports\"; ulimit -n $2 "
                     "&& exec \"$0\" store --jobs 256 --ports-from \"$1/ports\" asb=enable",
                     QStringLiteral(QBX7CONFIG_PROGRAM), folder.path(), openFiles});
        QVERIFY(fleet.waitForFinished(30000) && fleet.exitCode() == 0);
        QVERIFY(fleet.readAllStandardOutput().endsWith("100 ports: 100 OK, 0 FAILED, 0 CANCELLED\n"));
    }

    // Each port's line is written as soon as it is known, not when the last port is done: here
    // the file at once, the printer that keeps its side open after the drain bound; so are the
    // port check's findings, the printer that never accepts after the connect bound.
    void eachLineComesWhenItsPortIsDone_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("printer");
        QTest::addColumn<QByteArray>("first"); // the first line's beginning
        QTest::newRow("selftest") << "selftest" << int(qbx::test::TcpSink::Behaviour::KeepsOpen)
                                  << QByteArray("OK file:");
        QTest::newRow("doctor") << "doctor" << int(qbx::test::TcpSink::Behaviour::NeverAccepts)
                                << QByteArray("OK ");
    }

    void eachLineComesWhenItsPortIsDone()
    {
        QFETCH(QString, command);
        QFETCH(int, printer);
        QFETCH(QByteArray, first);
        const QTemporaryDir folder;
        const qbx::test::TcpSink slow{qbx::test::TcpSink::Behaviour(printer)};
        QProcess process;
        process.start(QStringLiteral(QBX7CONFIG_PROGRAM),
                      {command, "--port", "file:" + folder.filePath(QStringLiteral("out.prn")), "--port",
                       QStringLiteral("tcp:127.0.0.1:%1").arg(slow.port())});
        QVERIFY(process.waitForReadyRead(1500));
        QVERIFY(process.readLine().startsWith(first));
        QCOMPARE(process.state(), QProcess::Running);
        QVERIFY(process.waitForFinished(10000));
    }

    // Stores that run at once each add their settings to the port's record, none lost; a damaged
    // record is said to be so, never stops a store, and is replaced by the next confirmed one.
    void recordsTakeTurnsAndHealDamage()
    {
        const QTemporaryDir folder;
        const QStringList choices{"asb=enable",          "nsb=enable",        "code-page=1252",
                                  "zero-style=slashed",  "cut-offset=1",      "int-char-set=uk",
                                  "presenter-delay=2.5", "pres-status=enable"};
        const QString port = QStringLiteral("file:%1/kiosk.prn").arg(folder.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), folder.filePath(QStringLiteral("state")));
        const auto run = [&](const QStringList& arguments, const QStringList& ports = {}) {
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(env);
            process->start(QStringLiteral(QBX7CONFIG_PROGRAM),
                           QStringList{"store"} + (ports.isEmpty() ? QStringList{"--port", port} : ports) +
                               arguments);
            return process;
        };
        std::vector<std::unique_ptr<QProcess>> stores;
        for (const QString& choice : choices)
            stores.push_back(run({choice}));
        for (const auto& store : stores)
            QVERIFY(store->waitForFinished(30000) && store->exitCode() == 0);
        const auto unchanged = [&] {
            const auto check = run(QStringList{"--if-changed", "--dry-run"} + choices);
            check->waitForFinished(30000);
            return check->readAllStandardOutput().endsWith("UNCHANGED " + port.toUtf8() + '\n');
        };
        QVERIFY(unchanged());

        const QStringList records = QDir(folder.filePath("state/qbx7config")).entryList({"*.profile"});
        QCOMPARE(records.size(), 1);
        std::ofstream(folder.filePath("state/qbx7config/" + records.first()).toStdString()) << "asb=maybe\n";
        const auto repair = run(QStringList{"--if-changed"} + choices);
        QVERIFY(repair->waitForFinished(30000) && repair->exitCode() == 0);
        QCOMPARE(repair->readAllStandardOutput(), "OK " + port.toUtf8() + '\n');
        QVERIFY(repair->readAllStandardError().contains("is damaged (line 1: "));
        QVERIFY(unchanged());

        // A run that waits for its turn at the record ends at Ctrl+C, having sent nothing.
        QFile lock(folder.filePath("state/qbx7config/" + records.first() + ".lock"));
        QVERIFY(lock.open(QIODevice::ReadWrite) && ::flock(lock.handle(), LOCK_EX) == 0);
        const auto waiting = run({"asb=disable"});
        QVERIFY(!waiting->waitForFinished(500));
        ::kill(pid_t(waiting->processId()), SIGINT);
        QVERIFY(waiting->waitForFinished(3000) && waiting->exitCode() == 130);
        lock.close();
        QVERIFY(unchanged());

        // A store that fails leaves what it would have changed unknown, not as it was.
        QVERIFY(QFile::remove(folder.filePath("kiosk.prn")) && QDir(folder.path()).mkdir("kiosk.prn"));
        const auto failing = run({"zero-style=not slashed"}); // the first setting is checked too
        QVERIFY(failing->waitForFinished(30000) && failing->exitCode() == 1);
        QVERIFY(!unchanged());

        // A run held up by a slower port never records over a later run's store to the same printer.
        const QString pipe = folder.filePath(QStringLiteral("pipe")); // nobody reads it: 3 s
        QVERIFY(QDir(folder.path()).rmdir("kiosk.prn") &&
                ::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        const auto held = run({"code-page=1252"}, {"--port", "file:" + pipe, "--port", port});
        QTRY_VERIFY(QFile::exists(folder.filePath(QStringLiteral("kiosk.prn"))));
        QVERIFY(run({"code-page=#3"})->waitForFinished(30000) && held->waitForFinished(30000));
        const auto check = run({"--if-changed", "--dry-run", "code-page=#3"});
        QVERIFY(check->waitForFinished(30000) &&
                check->readAllStandardOutput().endsWith("UNCHANGED " + port.toUtf8() + '\n'));
    }

    // The installed completion script, run by bash on the words typed so far.
    void completesInBash_data()
    {
        QTest::addColumn<QString>("words"); // after the program's name; bash splits KEY=VALUE at '='
        QTest::addColumn<QString>("offered");

        const auto row = [](const char* name, const char* words, const char* offered) {
            QTest::newRow(name) << QString::fromUtf8(words) << QString::fromUtf8(offered);
        };
        row("command", "se", "settings selftest send");
        row("command to explain", "help ",
            "settings store selftest send decode port simulate doctor help completion");
        row("option of a command", "store --p", "--port --ports-from");
        row("setting key", "store presenter-d", "presenter-delay=");
        row("value, quoted for the shell", "store presenter-behaviour = no",
            R"(No\ Change No\ Loop\ -\ Hold\ -\ Capture No\ Loop\ -\ Hold\ -\ Eject)");
        row("values of the first setting", "store zero-style = n", R"(No\ Change Not\ Slashed)");
        row("file of a file option", "store --from ki", "kiosk.profile");
        row("no files for another option's value", "store --port ki", "");
        row("value that only its number picks", "store code-page = '#'", R"(\#2 \#4)");
    }

    void completesInBash()
    {
        QFETCH(QString, words);
        QFETCH(QString, offered);

        const QString script = QStringLiteral(R"(source <(%1 completion bash)
COMP_WORDS=(qbx7config %2 "")
[[ '%2' == *' ' || '%2' == '' ]] || unset 'COMP_WORDS[-1]'
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
_qbx7config
echo "${COMPREPLY[*]}")")
                                   .arg(QStringLiteral(QBX7CONFIG_PROGRAM), words);
        QTemporaryDir folder; // the files bash offers
        QVERIFY(QFile(folder.filePath(QStringLiteral("kiosk.profile"))).open(QIODevice::WriteOnly));
        QProcess bash;
        bash.setWorkingDirectory(folder.path());
        bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
        QVERIFY(bash.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(bash.readAllStandardOutput()).trimmed(), offered);
    }

    // Logging out, or kill, closes the window as its Close button does: the port choice is kept.
    // The platform is given as an option, in either of its forms.
    void windowClosesOnSigterm_data()
    {
        QTest::addColumn<QStringList>("platform");
        QTest::newRow("--NAME=VALUE") << QStringList{"--platform=offscreen"};
        QTest::newRow("-NAME VALUE") << QStringList{"-platform", "offscreen"};
    }

    void windowClosesOnSigterm()
    {
        QFETCH(QStringList, platform);
        QTemporaryDir config;
        QProcess window;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        window.setProcessEnvironment(env);
        window.start(QStringLiteral(QBX7CONFIG_PROGRAM), platform);
        // Once the program takes SIGTERM itself: its bit in the mask of caught signals, after the
        // program has replaced the test's fork.
        const QString proc = QStringLiteral("/proc/%1/").arg(window.processId());
        QFile status(proc + QStringLiteral("status"));
        const auto caught = [&] {
            status.open(QIODevice::ReadOnly);
            const QByteArray text = status.readAll();
            status.close();
            return QFileInfo(proc + QStringLiteral("exe")).canonicalFilePath() ==
                       QFileInfo(QStringLiteral(QBX7CONFIG_PROGRAM)).canonicalFilePath() &&
                   text.mid(text.indexOf("SigCgt:") + 7, 17).trimmed().toULongLong(nullptr, 16) &
                       (1ULL << (SIGTERM - 1));
        };
        QTRY_VERIFY_WITH_TIMEOUT(caught(), 10000);
        ::kill(pid_t(window.processId()), SIGTERM);
        QVERIFY(window.waitForFinished(10000));
        QVERIFY2(window.exitStatus() == QProcess::NormalExit, window.readAllStandardError().constData());
        QVERIFY(QFile::exists(config.filePath(QStringLiteral("TeskQBX7Conf_Comm.conf"))));
    }
};

QTEST_GUILESS_MAIN(TestMain)
#include "testmain.moc"
