#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The built program, started as a user starts it over SSH: no display at all, and the X11
// platform forced, so any GUI application it created would fail to start.
class TestMain : public QObject
{
    Q_OBJECT

private slots:
    void commandsNeedNoDisplay_data();
    void commandsNeedNoDisplay();
    void noArgumentsOpensTheWindow();

private:
    QProcess* start(const QStringList& arguments);

    QTemporaryDir m_dir;
};

QProcess* TestMain::start(const QStringList& arguments)
{
    auto* process = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), m_dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(QBX7CONFIG_PROGRAM), arguments);
    return process;
}

void TestMain::commandsNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstLine"); // its beginning

    QTest::newRow("version") << QStringList{"--version"} << 0 << "QBX7Config Version ";
    QTest::newRow("help") << QStringList{"--help"} << 0
                          << "Usage: qbx7config [COMMAND [OPTIONS] [ARGUMENTS]]";
    QTest::newRow("settings") << QStringList{"settings"} << 0 << "zero-style  Zero Character Style";
    QTest::newRow("after a window option")
        << QStringList{"-platform", "offscreen", "store", "--dry-run", "asb=enable"} << 0
        << "1B 1D 23 2B 37 31 30 30 30 0A 00  set 7 1000  ASB Status Checking = Enable";
    QTest::newRow("usage error") << QStringList{"store", "asb=sometimes"} << 2 << "";
}

void TestMain::commandsNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, firstLine);

    QProcess* process = start(arguments);
    QVERIFY(process->waitForFinished(30000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), status);
    const QString line = QString::fromUtf8(process->readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(firstLine.isEmpty() ? line.isEmpty() : line.startsWith(firstLine), qPrintable(line));
}

// Without a display the window cannot start: that it tries shows no arguments mean the window.
void TestMain::noArgumentsOpensTheWindow()
{
    QProcess* process = start({});
    QVERIFY(process->waitForFinished(30000));
    QVERIFY(process->exitStatus() == QProcess::CrashExit || process->exitCode() != 0);
    QVERIFY2(process->readAllStandardError().contains("display"),
             "expected the window's complaint about the display");
}

QTEST_GUILESS_MAIN(TestMain)
#include "testmain.moc"
