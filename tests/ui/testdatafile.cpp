#include "portsession.h"
#include "reporter.h"
#include "tcpsink.h"
#include "transmissionmonitor.h"
#include "windowfixture.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <unistd.h>

using qbx::test::RecordingPort;
using qbx::test::WindowFixture;
using qbx::ui::FileOpenAnswer;
using qbx::ui::FileOpenRequest;
using Call = RecordingPort::Call;

namespace {

class ListReporter final : public TeskKit::Reporter
{
public:
    void report(const QString& message) override { messages << message; }
    QStringList messages;
};

class ProgressRecorder final : public TeskKit::TransmissionMonitor
{
public:
    void started() override {}
    bool advance(qint64 done, qint64 total) override
    {
        last = {done, total};
        return true;
    }
    void finished() override {}

    std::pair<qint64, qint64> last;
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Answers the file dialog with a path and counts how often it was shown.
struct Chooser
{
    QString path;
    int shown = 0;

    void install(qbx::ui::frmMain& window)
    {
        window.setFileOpenHook(
            [this](QWidget*, const FileOpenRequest& request) -> std::optional<FileOpenAnswer> {
                ++shown;
                if (path.isEmpty())
                    return std::nullopt;
                return FileOpenAnswer{path, request.selectedFilter};
            });
    }
};

QByteArray allByteValues()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

} // namespace

class TestDataFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sentUnchanged_data();
    void sentUnchanged();
    void refusedFileSendsNothing_data();
    void refusedFileSendsNothing();
    void largeFileThroughANetworkPrinter();

private:
    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
};

void TestDataFile::init()
{
    QVERIFY(m_dir.isValid());
}

void TestDataFile::sentUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("every byte value") << allByteValues();
    QTest::newRow("line ends kept as they are") << QByteArray("A\r\nB\nC\rD\n\r", 11);
}

void TestDataFile::sentUnchanged()
{
    QFETCH(QByteArray, bytes);
    writeFile(path("demo.dmo"), bytes);
    WindowFixture f;
    Chooser chooser{path("demo.dmo")};
    chooser.install(*f.window);
    f.port.calls.clear();
    QTest::mouseClick(f.control("butPrintFile"), Qt::LeftButton);
    QCOMPARE(chooser.shown, 1);
    QCOMPARE(f.messages, QStringList());
    QCOMPARE(f.port.calls,
             (std::vector<Call>{{Call::Open, {}}, {Call::Write, bytes.toStdString()}, {Call::Close, {}}}));
}

void TestDataFile::refusedFileSendsNothing_data()
{
    QTest::addColumn<QString>("name"); // empty: the dialog is cancelled
    QTest::addColumn<QString>("reason");
    QTest::newRow("dialog cancelled, quietly") << QString() << QString();
    QTest::newRow("a folder") << "folder.dmo" << QStringLiteral("folder");
    QTest::newRow("gone since it was chosen") << "gone.dmo" << QStringLiteral("does not exist");
    QTest::newRow("no read permission") << "locked.dmo" << QStringLiteral("Permission denied");
}

void TestDataFile::refusedFileSendsNothing()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QString chosen = name.isEmpty() ? QString() : m_dir.filePath(name);
    if (name == QLatin1String("folder.dmo")) {
        QVERIFY(QDir(m_dir.path()).mkdir(name));
    } else if (name == QLatin1String("locked.dmo")) {
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        writeFile(chosen, "data");
        QVERIFY(QFile::setPermissions(chosen, {}));
    }

    WindowFixture f;
    Chooser chooser{chosen};
    chooser.install(*f.window);
    f.port.calls.clear();
    QTest::mouseClick(f.control("butPrintFile"), Qt::LeftButton);
    QTest::mouseClick(f.control("butPrintFile"), Qt::LeftButton);

    QCOMPARE(chooser.shown, 2);
    QVERIFY(f.port.calls.empty());
    QCOMPARE(f.messages.size(), name.isEmpty() ? 0 : 2);
    for (const QString& message : f.messages) {
        QVERIFY2(message.contains(chosen), qPrintable(message));
        QVERIFY2(message.contains(reason, Qt::CaseInsensitive), qPrintable(message));
    }
    // Nothing is created in the name of a file that is not there.
    if (name == QLatin1String("gone.dmo"))
        QVERIFY(!QFile::exists(chosen));
}

void TestDataFile::largeFileThroughANetworkPrinter()
{
    QByteArray bytes(3 * 1024 * 1024 + 8, Qt::Uninitialized); // pieces and a rest
    QRandomGenerator generator(740);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    writeFile(path("large.dst"), bytes);
    qbx::test::TcpSink printer;

    ListReporter reporter;
    TeskKit::PortSession session(reporter);
    ProgressRecorder progress;
    session.setMonitor(&progress);
    qbx::ui::frmMain window(&session);
    // After the window's start-up has loaded the saved choice: this run prints to our printer.
    TeskKit::PortConfig config;
    config.kind = TeskKit::PortConfig::Kind::Tcp;
    config.host = QStringLiteral("127.0.0.1");
    config.tcpPort = printer.port();
    session.setConfig(config);
    Chooser chooser{path("large.dst")};
    chooser.install(window);
    QStringList messages;
    window.setMessageHook([&](QWidget*, const QString&, const QString& text) { messages << text; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("butPrintFile")), Qt::LeftButton);

    QCOMPARE(reporter.messages.join(u'|'), QString());
    QVERIFY(session.lastOutcome().delivered());
    // The progress is of the whole file, not of each piece.
    QCOMPARE(progress.last, (std::pair<qint64, qint64>{bytes.size(), bytes.size()}));
    QVERIFY(printer.received() == bytes);
}

QTEST_MAIN(TestDataFile)
#include "testdatafile.moc"
