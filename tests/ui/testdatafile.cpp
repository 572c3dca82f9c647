#include "datafile.h"
#include "portsession.h"
#include "reporter.h"
#include "windowfixture.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/stat.h>
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

std::vector<Call> transmissionOf(const QByteArray& bytes)
{
    return {{Call::Open, {}}, {Call::Write, bytes.toStdString()}, {Call::Close, {}}};
}

} // namespace

class TestDataFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void read_data();
    void read();
    void sentUnchanged_data();
    void sentUnchanged();
    void cancelDoesNothing();
    void unreadable_data();
    void unreadable();
    void largeFileThroughTheFilePort();

private:
    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
};

void TestDataFile::init()
{
    QVERIFY(m_dir.isValid());
}

void TestDataFile::read_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("every byte value") << allByteValues();
    QTest::newRow("line ends kept as they are") << QByteArray("A\r\nB\nC\rD\n\r", 11);
    QTest::newRow("NUL and ESC inside") << QByteArray("\x1B@\0\0\x1B\x3F\n\0", 8);
}

void TestDataFile::read()
{
    QFETCH(QByteArray, bytes);
    writeFile(path("demo.dmo"), bytes);
    const qbx::ui::DataFile data = qbx::ui::readDataFile(path("demo.dmo"));
    QVERIFY(data.ok());
    QCOMPARE(data.bytes, bytes);
}

void TestDataFile::sentUnchanged_data()
{
    read_data();
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
    QCOMPARE(f.port.calls, transmissionOf(bytes));
}

void TestDataFile::cancelDoesNothing()
{
    WindowFixture f;
    Chooser chooser;
    chooser.install(*f.window);
    QStringList messages;
    f.window->setMessageHook([&](QWidget*, const QString&, const QString& text) { messages << text; });
    f.port.calls.clear();
    QTest::mouseClick(f.control("butPrintFile"), Qt::LeftButton);
    QTest::mouseClick(f.control("butPrintFile"), Qt::LeftButton);
    QCOMPARE(chooser.shown, 2);
    QVERIFY(f.port.calls.empty());
    QVERIFY(messages.isEmpty());
}

void TestDataFile::unreadable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a folder") << "folder.dmo"
                              << "folder";
    QTest::newRow("gone since it was chosen") << "gone.dmo"
                                              << "No such file";
    QTest::newRow("no read permission") << "locked.dmo"
                                        << "Permission denied";
}

void TestDataFile::unreadable()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QString chosen = name.startsWith(u'/') ? name : m_dir.filePath(name);
    if (name == QLatin1String("pipe.dmo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(chosen).constData(), 0600), 0);
    } else if (name == QLatin1String("folder.dmo")) {
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
    QStringList messages;
    f.window->setMessageHook([&](QWidget*, const QString&, const QString& text) { messages << text; });
    f.port.calls.clear();
    QTest::mouseClick(f.control("butPrintFile"), Qt::LeftButton);

    QVERIFY(f.port.calls.empty());
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(chosen), qPrintable(messages.first()));
    QVERIFY2(messages.first().contains(reason, Qt::CaseInsensitive), qPrintable(messages.first()));
    // Nothing is created in the name of a file that is not there.
    if (name == QLatin1String("gone.dmo"))
        QVERIFY(!QFile::exists(chosen));
}

void TestDataFile::largeFileThroughTheFilePort()
{
    QByteArray bytes(48 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(740);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    writeFile(path("large.dst"), bytes);

    ListReporter reporter;
    TeskKit::PortSession session(reporter);
    qbx::ui::frmMain window(&session);
    // After the window's start-up has loaded the saved choice: this run prints to our file.
    TeskKit::PortConfig config;
    config.kind = TeskKit::PortConfig::Kind::File;
    config.filePath = path("printer.prn");
    session.setConfig(config);
    Chooser chooser{path("large.dst")};
    chooser.install(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("butPrintFile")), Qt::LeftButton);

    QCOMPARE(reporter.messages.join(u'|'), QString());
    QFile out(path("printer.prn"));
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.size(), bytes.size());
    QVERIFY(out.readAll() == bytes);
}

QTEST_MAIN(TestDataFile)
#include "testdatafile.moc"
