#include "porttest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace qbx::test;
using TeskKit::PortSession;

namespace {

QString serialSettings(const char* values)
{
    return QStringLiteral("[port]\nkind=serial\n[serial]\ndevice=/dev/ttyS0\n") + QLatin1String(values);
}

} // namespace

class TestPortSession : public QObject
{
    Q_OBJECT

private slots:
    void damagedSettingsFallBack_data();
    void damagedSettingsFallBack();
    void keyStaysInsideTheConfigurationFolder();
};

void TestPortSession::damagedSettingsFallBack_data()
{
    QTest::addColumn<QString>("content");

    const QString megabyte(1 << 20, QLatin1Char('k'));
    QTest::newRow("nothing stored") << QString();
    QTest::newRow("unknown kind") << "[port]\nkind=carrier-pigeon\n[file]\npath=/tmp/x.prn\n";
    QTest::newRow("megabyte path") << "[port]\nkind=file\n[file]\npath=" + megabyte + "\n";
    QTest::newRow("port 99999") << "[port]\nkind=tcp\n[tcp]\nhost=kiosk\nport=99999\n";
    QTest::newRow("megabyte host") << "[port]\nkind=tcp\n[tcp]\nhost=" + megabyte + "\nport=9100\n";
    QTest::newRow("baud negative") << serialSettings("baud=-9600\ndata=8\nparity=none\nstop=1\nflow=none\n");
    QTest::newRow("unknown parity") << serialSettings("baud=9600\ndata=8\nparity=mark\nstop=1\nflow=none\n");
    QTest::newRow("binary garbage") << QString::fromLatin1("\x01\xff[port\x00]kind=\x7f\n=\n[[[\n", 20);
}

void TestPortSession::damagedSettingsFallBack()
{
    QFETCH(QString, content);
    const std::string key = "TestDamaged";
    const QString path = PortSession::settingsFile(key);
    QFile::remove(path);
    if (!content.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(path).path())); // a fresh build has no configuration folder
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content.toLatin1());
    }
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(tcpAt("kiosk-01"));
    session.LoadPortSettings(key);
    QCOMPARE(session.config(), PortConfig::defaults());
    QVERIFY(reporter.messages.isEmpty());
}

void TestPortSession::keyStaysInsideTheConfigurationFolder()
{
    const QString folder = QFileInfo(PortSession::settingsFile("TeskQBX7Conf_Comm")).path();
    for (const std::string key : {"../../outside", "/etc/passwd", "", ".hidden"}) {
        const QFileInfo file(PortSession::settingsFile(key));
        QCOMPARE(file.path(), folder);
        QVERIFY2(!file.fileName().startsWith(QLatin1Char('.')), qPrintable(file.fileName()));
    }
}

QTEST_GUILESS_MAIN(TestPortSession)
#include "testportsession.moc"
