#include "tcpsink.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <pwd.h>
#include <unistd.h>

// The built program, started as a user starts it over SSH: no display at all, and the X11
// platform forced, so any GUI application it created would fail to start.
class TestMain : public QObject
{
    Q_OBJECT

private slots:
    void startsWithoutADisplay_data();
    void startsWithoutADisplay();
    void endlessDataStopsWithItsPort_data();
    void endlessDataStopsWithItsPort();
    void completesInBash_data();
    void completesInBash();
};

namespace {

// Instead of an exit status: the window was tried, which cannot start without a display.
constexpr int kWindow = -1;

} // namespace

void TestMain::startsWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("home"); // whether HOME is set
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstLine"); // its beginning

    QTest::newRow("version") << QStringList{"--version"} << true << 0 << "QBX7Config Version ";
    QTest::newRow("help") << QStringList{"--help"} << true << 0
                          << "Usage: qbx7config [COMMAND [OPTIONS] [ARGUMENTS]]";
    QTest::newRow("command") << QStringList{"store", "--dry-run", "asb=enable"} << true << 0
                             << "1B 1D 23 2B 37 31 30 30 30 0A 00  set 7 1000  ASB Status Checking = Enable";
    QTest::newRow("window option before a command: a usage error")
        << QStringList{"-platform", "xcb", "store", "--dry-run", "asb=enable"} << true << 2 << "";
    QTest::newRow("usage error") << QStringList{"store", "asb=sometimes"} << true << 2 << "";
    QTest::newRow("no HOME: the account's home, never the root")
        << QStringList{"port"} << false << 0
        << QStringLiteral("file:%1/QBX740.prn").arg(QFile::decodeName(::getpwuid(::getuid())->pw_dir));
    QTest::newRow("no arguments: the window") << QStringList{} << true << kWindow << "";
    QTest::newRow("window options alone: the window")
        << QStringList{"--platform=xcb", "-style", "fusion", "-reverse"} << true << kWindow << "";
}

void TestMain::startsWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, home);
    QFETCH(int, status);
    QFETCH(QString, firstLine);

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!home)
        env.remove(QStringLiteral("HOME"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QBX7CONFIG_PROGRAM), arguments);
    QVERIFY(process.waitForFinished(30000));
    if (status == kWindow) {
        QVERIFY(process.exitStatus() == QProcess::CrashExit || process.exitCode() != 0);
        QVERIFY2(process.readAllStandardError().contains("display"),
                 "expected the window's complaint about the display");
        return;
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    const QString line = QString::fromUtf8(process.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(firstLine.isEmpty() ? line.isEmpty() : line.startsWith(firstLine), qPrintable(line));
}

// An endless source must end with its transmission: when the port fails, and when the user
// interrupts a transmission that would otherwise go on for ever.
void TestMain::endlessDataStopsWithItsPort_data()
{
    QTest::addColumn<QString>("source"); // /dev/stdin: a pipe whose writer stays silent
    QTest::addColumn<bool>("listening"); // a printer that never reads; else the port is refused
    QTest::addColumn<int>("signal");     // sent after a moment, 0 for none
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstLine");

    QTest::newRow("refused port") << "/dev/zero" << false << 0 << 1 << "FAILED tcp:127.0.0.1:";
    QTest::newRow("silent pipe, refused port") << "/dev/stdin" << false << 0 << 1 << "FAILED tcp:127.0.0.1:";
    QTest::newRow("silent pipe, interrupted")
        << "/dev/stdin" << true << int(SIGINT) << 128 + SIGINT << "CANCELLED tcp:127.0.0.1:";
    QTest::newRow("terminated") << "/dev/zero" << true << int(SIGTERM) << 128 + SIGTERM
                                << "CANCELLED tcp:127.0.0.1:";
}

void TestMain::endlessDataStopsWithItsPort()
{
    QFETCH(QString, source);
    QFETCH(bool, listening);
    QFETCH(int, signal);
    QFETCH(int, status);
    QFETCH(QString, firstLine);
    auto printer = std::make_unique<qbx::test::TcpSink>(qbx::test::TcpSink::Behaviour::NeverRead);
    const quint16 port = printer->port();
    if (!listening)
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
    QCOMPARE(process.exitCode(), status);
    QVERIFY(QString::fromUtf8(process.readAllStandardOutput()).startsWith(firstLine));
}

// The installed completion script, run by bash on the words typed so far.
void TestMain::completesInBash_data()
{
    QTest::addColumn<QString>("words"); // after the program's name; bash splits KEY=VALUE at '='
    QTest::addColumn<QString>("offered");

    QTest::newRow("command") << "se"
                             << "settings selftest send";
    QTest::newRow("option of a command") << "store --p"
                                         << "--port --ports-from";
    QTest::newRow("setting key") << "store presenter-d"
                                 << "presenter-delay=";
    QTest::newRow("value, quoted for the shell")
        << "store presenter-behaviour = no"
        << R"(No\ Change No\ Loop\ -\ Hold\ -\ Capture No\ Loop\ -\ Hold\ -\ Eject)";
    QTest::newRow("values of the first setting") << "store zero-style = n"
                                                 << R"(No\ Change Not\ Slashed)";
    QTest::newRow("file of a file option") << "store --from ki"
                                           << "kiosk.profile";
    QTest::newRow("no files for another option's value") << "store --port ki"
                                                         << "";
    QTest::newRow("value that only its number picks") << "store code-page = '#'"
                                                      << R"(\#2 \#4)";
}

void TestMain::completesInBash()
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

QTEST_GUILESS_MAIN(TestMain)
#include "testmain.moc"
