#include "frames.h"
#include "portsession.h"
#include "reporter.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using TeskKit::PortConfig;
using TeskKit::PortSession;

namespace {

class ListReporter : public TeskKit::Reporter
{
public:
    void report(const QString& message) override { messages << message; }
    QStringList messages;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

PortConfig fileAt(const QString& path)
{
    PortConfig config;
    config.filePath = path;
    return config;
}

} // namespace

class TestPortSession : public QObject
{
    Q_OBJECT

private slots:
    void fileReceivesExactBytes_data();
    void fileReceivesExactBytes();
    void failedFileKeepsOldContents_data();
    void failedFileKeepsOldContents();
    void settingsRoundTrip();
    void damagedSettingsFallBack_data();
    void damagedSettingsFallBack();

private:
    QTemporaryDir m_dir;
};

void TestPortSession::fileReceivesExactBytes_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");

    QByteArray allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes.append(char(b));
    QTest::newRow("store frame with its NUL")
        << QList<QByteArray>{QByteArray::fromStdString(qbx::storeFrame())};
    QTest::newRow("every byte value") << QList<QByteArray>{allBytes};
    QTest::newRow("several writes in order")
        << QList<QByteArray>{"\x1b\x1d#+10010\n" + QByteArray(1, '\0'), "\r\n\xff", QByteArray(3, '\0')};
    QTest::newRow("empty transmission") << QList<QByteArray>{QByteArray()};
    QTest::newRow("a megabyte") << QList<QByteArray>{QByteArray(1 << 20, '\x1b')};
}

void TestPortSession::fileReceivesExactBytes()
{
    QFETCH(QList<QByteArray>, writes);
    const QString path = m_dir.filePath(QStringLiteral("out.prn"));
    QFile::remove(path);
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous transmission, longer than the new one");
    }

    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(fileAt(path));
    session.OpenPort();
    for (const QByteArray& w : writes)
        session.WritePort(std::string_view(w.constData(), w.size()));
    session.ClosePort();

    QVERIFY2(reporter.messages.isEmpty(), qPrintable(reporter.messages.join(QLatin1Char('\n'))));
    QVERIFY(session.lastTransmissionSucceeded());
    QCOMPARE(readAll(path), writes.join());
}

void TestPortSession::failedFileKeepsOldContents_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");

    QTest::newRow("folder does not exist") << m_dir.filePath(QStringLiteral("missing/out.prn")) << "missing";
    QTest::newRow("path is a folder") << m_dir.path() << "folder";
    QTest::newRow("no file chosen") << QString() << "No output file";
    QTest::newRow("device without space") << "/dev/full"
                                          << "/dev/full";
}

void TestPortSession::failedFileKeepsOldContents()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);

    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(fileAt(path));
    session.OpenPort();
    for (int i = 0; i < 31; ++i) // one message for the whole transmission, not one per write
        session.WritePort(qbx::storeFrame());
    session.ClosePort();

    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().contains(reason), qPrintable(reporter.messages.first()));
    QVERIFY(!session.lastTransmissionSucceeded());
}

void TestPortSession::settingsRoundTrip()
{
    const std::string key = "TeskQBX7Conf_Comm";
    ListReporter reporter;
    {
        PortSession session(reporter);
        session.setConfig(fileAt(QStringLiteral("/tmp/kiosk printer.prn")));
        session.SavePortSettings(key);
    }
    PortSession restored(reporter);
    restored.LoadPortSettings(key);
    QCOMPARE(restored.config().filePath, QStringLiteral("/tmp/kiosk printer.prn"));
    QVERIFY(QFile::exists(PortSession::settingsFile(key)));
}

void TestPortSession::damagedSettingsFallBack_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("path");

    QTest::newRow("nothing stored") << QString() << QString();
    QTest::newRow("unknown kind") << "carrier-pigeon"
                                  << "/tmp/x.prn";
    QTest::newRow("empty path") << "file" << QString();
    QTest::newRow("megabyte path") << "file" << QString(1 << 20, QLatin1Char('a'));
}

void TestPortSession::damagedSettingsFallBack()
{
    QFETCH(QString, kind);
    QFETCH(QString, path);

    const std::string key = "TestDamaged";
    QFile::remove(PortSession::settingsFile(key));
    if (!kind.isNull()) {
        QSettings settings(PortSession::settingsFile(key), QSettings::IniFormat);
        settings.setValue(QStringLiteral("port/kind"), kind);
        settings.setValue(QStringLiteral("file/path"), path);
    }
    ListReporter reporter;
    PortSession session(reporter);
    session.LoadPortSettings(key);
    QCOMPARE(session.config(), PortConfig::defaults());
    QVERIFY(reporter.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TestPortSession)
#include "testportsession.moc"
