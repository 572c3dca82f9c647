#include "failingtransport.h"
#include "frames.h"
#include "porttest.h"

#include <QFile>
#include <QTest>

using qbx::test::FailingTransport;
using qbx::test::ListReporter;
using qbx::test::TransportLog;
using TeskKit::PortConfig;
using TeskKit::PortSession;

namespace {

PortConfig tcpConfig()
{
    PortConfig config;
    config.kind = PortConfig::Kind::Tcp;
    config.host = QStringLiteral("kiosk-01");
    config.tcpPort = 9101;
    return config;
}

PortConfig queueConfig()
{
    PortConfig config;
    config.kind = PortConfig::Kind::Queue;
    config.queueName = QStringLiteral("kiosk");
    return config;
}

PortConfig serialConfig()
{
    PortConfig config;
    config.kind = PortConfig::Kind::Serial;
    config.serialDevice = QStringLiteral("/dev/ttyUSB1");
    config.baudRate = 115200;
    config.dataBits = 7;
    config.parity = PortConfig::Parity::Odd;
    config.stopBits = 2;
    config.flow = PortConfig::Flow::Hardware;
    return config;
}

PortConfig fileConfig()
{
    PortConfig config;
    config.filePath = QStringLiteral("/tmp/kiosk printer.prn");
    return config;
}

QString serialSettings(const char* values)
{
    return QStringLiteral("[port]\nkind=serial\n[serial]\ndevice=/dev/ttyS0\n") + QLatin1String(values);
}

} // namespace

Q_DECLARE_METATYPE(PortConfig)
Q_DECLARE_METATYPE(FailingTransport::Faults)

class TestPortSession : public QObject
{
    Q_OBJECT

private slots:
    void failureIsReportedOnce_data();
    void failureIsReportedOnce();
    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void damagedSettingsFallBack_data();
    void damagedSettingsFallBack();
    void keyStaysInsideTheConfigurationFolder();
};

void TestPortSession::failureIsReportedOnce_data()
{
    QTest::addColumn<FailingTransport::Faults>("faults");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("partial");
    QTest::addColumn<int>("bytesOut");

    QTest::newRow("open fails") << FailingTransport::Faults{true, -1, false} << "cannot open" << false << 0;
    QTest::newRow("first write fails")
        << FailingTransport::Faults{false, 0, false} << "write failed" << false << 0;
    QTest::newRow("fails part-way") << FailingTransport::Faults{false, 30, false} << "write failed" << true
                                    << 30;
    QTest::newRow("finish fails") << FailingTransport::Faults{false, -1, true} << "finish failed" << true
                                  << 31 * 11;
}

void TestPortSession::failureIsReportedOnce()
{
    QFETCH(FailingTransport::Faults, faults);
    QFETCH(QString, reason);
    QFETCH(bool, partial);
    QFETCH(int, bytesOut);
    auto log = std::make_shared<TransportLog>();
    ListReporter reporter;
    PortSession session(reporter, [log, faults](const PortConfig&) {
        return std::make_unique<FailingTransport>(log, faults);
    });

    qbx::test::transmit(session, qbx::test::repeated(qbx::storeFrame()));

    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().contains(reason), qPrintable(reporter.all()));
    QCOMPARE(reporter.messages.first().contains(QStringLiteral("may have received part")), partial);
    QCOMPARE(log->written.size(), bytesOut); // the writes after the failure are dropped
    QCOMPARE(log->aborts, 1);
    QVERIFY(!session.lastTransmissionSucceeded());
}

void TestPortSession::settingsRoundTrip_data()
{
    QTest::addColumn<PortConfig>("config");

    QTest::newRow("file") << fileConfig();
    QTest::newRow("network") << tcpConfig();
    QTest::newRow("print queue") << queueConfig();
    QTest::newRow("serial") << serialConfig();
}

void TestPortSession::settingsRoundTrip()
{
    QFETCH(PortConfig, config);
    const std::string key = "TeskQBX7Conf_Comm";
    ListReporter reporter;
    {
        PortSession session(reporter);
        session.setConfig(config);
        session.SavePortSettings(key);
    }
    PortSession restored(reporter);
    restored.LoadPortSettings(key);
    QCOMPARE(restored.config(), config);
    QVERIFY(QFile::exists(PortSession::settingsFile(key)));
    QVERIFY(reporter.messages.isEmpty());
}

void TestPortSession::damagedSettingsFallBack_data()
{
    QTest::addColumn<QString>("content");

    const QString megabyte(1 << 20, QLatin1Char('k'));
    QTest::newRow("nothing stored") << QString();
    QTest::newRow("unknown kind") << "[port]\nkind=carrier-pigeon\n[file]\npath=/tmp/x.prn\n";
    QTest::newRow("empty path") << "[port]\nkind=file\n[file]\npath=\n";
    QTest::newRow("megabyte path") << "[port]\nkind=file\n[file]\npath=" + megabyte + "\n";
    QTest::newRow("port 99999") << "[port]\nkind=tcp\n[tcp]\nhost=kiosk\nport=99999\n";
    QTest::newRow("port not a number") << "[port]\nkind=tcp\n[tcp]\nhost=kiosk\nport=91x\n";
    QTest::newRow("megabyte host") << "[port]\nkind=tcp\n[tcp]\nhost=" + megabyte + "\nport=9100\n";
    QTest::newRow("host with shell text") << "[port]\nkind=tcp\n[tcp]\nhost=\"$(reboot)\"\nport=9100\n";
    QTest::newRow("queue with slash") << "[port]\nkind=queue\n[queue]\nname=../../etc\n";
    QTest::newRow("baud negative") << serialSettings("baud=-9600\ndata=8\nparity=none\nstop=1\nflow=none\n");
    QTest::newRow("data bits 9") << serialSettings("baud=9600\ndata=9\nparity=none\nstop=1\nflow=none\n");
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
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content.toLatin1());
    }
    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(tcpConfig());
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
