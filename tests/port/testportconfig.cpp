#include "portconfig.h"

#include <QTest>

using TeskKit::PortConfig;

Q_DECLARE_METATYPE(PortConfig)

namespace {

PortConfig tcp(const QString& host, quint16 port = PortConfig::kRawPrintingPort)
{
    PortConfig config;
    config.kind = PortConfig::Kind::Tcp;
    config.host = host;
    config.tcpPort = port;
    return config;
}

PortConfig serial(const QString& device, qint32 baud = 9600, int data = 8,
                  PortConfig::Parity parity = PortConfig::Parity::None, int stop = 1,
                  PortConfig::Flow flow = PortConfig::Flow::None)
{
    PortConfig config;
    config.kind = PortConfig::Kind::Serial;
    config.serialDevice = device;
    config.baudRate = baud;
    config.dataBits = data;
    config.parity = parity;
    config.stopBits = stop;
    config.flow = flow;
    return config;
}

PortConfig file(const QString& path)
{
    PortConfig config;
    config.filePath = path;
    return config;
}

PortConfig queue(const QString& name)
{
    PortConfig config;
    config.kind = PortConfig::Kind::Queue;
    config.queueName = name;
    return config;
}

} // namespace

class TestPortConfig : public QObject
{
    Q_OBJECT

private slots:
    void readsUri_data();
    void readsUri();
    void refusesUri_data();
    void refusesUri();
    void defaultIsHomeFile();
};

void TestPortConfig::readsUri_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<PortConfig>("expected");

    QTest::newRow("file with blank and colon")
        << "file:/tmp/a b:c.prn" << file(QStringLiteral("/tmp/a b:c.prn"));
    QTest::newRow("tcp default port") << "tcp:kiosk-01" << tcp(QStringLiteral("kiosk-01"));
    QTest::newRow("tcp with port") << "tcp:kiosk-01.example.org:9101"
                                   << tcp(QStringLiteral("kiosk-01.example.org"), 9101);
    QTest::newRow("tcp ipv6 in brackets") << "tcp:[::1]:9102" << tcp(QStringLiteral("::1"), 9102);
    QTest::newRow("tcp ipv6 default port") << "tcp:[fe80::1]" << tcp(QStringLiteral("fe80::1"));
    QTest::newRow("tcp highest port") << "tcp:p:65535" << tcp(QStringLiteral("p"), 65535);
    QTest::newRow("queue") << "queue:Kiosk_Tickets" << queue(QStringLiteral("Kiosk_Tickets"));
    QTest::newRow("serial plain") << "serial:/dev/ttyUSB0" << serial(QStringLiteral("/dev/ttyUSB0"));
    QTest::newRow("serial everything")
        << "serial:/dev/ttyS1?baud=115200&parity=even&flow=hardware&data=7&stop=2"
        << serial(QStringLiteral("/dev/ttyS1"), 115200, 7, PortConfig::Parity::Even, 2,
                  PortConfig::Flow::Hardware);
    QTest::newRow("serial software flow") << "serial:/dev/ttyACM0?flow=software&parity=odd"
                                          << serial(QStringLiteral("/dev/ttyACM0"), 9600, 8,
                                                    PortConfig::Parity::Odd, 1, PortConfig::Flow::Software);
}

void TestPortConfig::readsUri()
{
    QFETCH(QString, uri);
    QFETCH(PortConfig, expected);
    QString error;
    const auto config = PortConfig::fromUri(uri, &error);
    QVERIFY2(config, qPrintable(error));
    QCOMPARE(*config, expected);
    const auto back = PortConfig::fromUri(expected.toUri(), &error);
    QVERIFY2(back, qPrintable(expected.toUri() + QStringLiteral(": ") + error));
    QCOMPARE(*back, expected);
}

void TestPortConfig::refusesUri_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("reason");

    QTest::newRow("empty") << ""
                           << "use file:PATH";
    QTest::newRow("unknown kind") << "lpt:1"
                                  << "use file:PATH";
    QTest::newRow("file without path") << "file:"
                                       << "no output file";
    QTest::newRow("tcp without host") << "tcp:"
                                      << "no printer host";
    QTest::newRow("tcp blank host") << "tcp: :9100"
                                    << "no printer host";
    QTest::newRow("tcp malformed host") << "tcp:kiosk_01!"
                                        << "not a valid host";
    QTest::newRow("tcp port 0") << "tcp:kiosk:0"
                                << "1 to 65535";
    QTest::newRow("tcp port 99999") << "tcp:kiosk:99999"
                                    << "1 to 65535";
    QTest::newRow("tcp port huge") << "tcp:kiosk:99999999999999999999"
                                   << "1 to 65535";
    QTest::newRow("tcp port with text") << "tcp:kiosk:9100x"
                                        << "1 to 65535";
    QTest::newRow("tcp empty port") << "tcp:kiosk:"
                                    << "port number is missing";
    QTest::newRow("tcp ipv6 unclosed") << "tcp:[::1:9100"
                                       << "closing ']'";
    QTest::newRow("tcp ipv6 without brackets") << "tcp:::1"
                                               << "in brackets";
    QTest::newRow("queue without name") << "queue:"
                                        << "no print queue";
    QTest::newRow("queue with slash") << "queue:a/b"
                                      << "not a valid print queue";
    QTest::newRow("serial without device") << "serial:"
                                           << "no serial device";
    QTest::newRow("serial unknown setting") << "serial:/dev/ttyS0?speed=9600"
                                            << "unknown serial setting 'speed'";
    QTest::newRow("serial baud zero") << "serial:/dev/ttyS0?baud=0"
                                      << "baud rate 0 is out of range";
    QTest::newRow("serial data bits 9") << "serial:/dev/ttyS0?data=9"
                                        << "data bits must be 5 to 8";
    QTest::newRow("serial stop bits 3") << "serial:/dev/ttyS0?stop=3"
                                        << "stop bits must be 1 or 2";
    QTest::newRow("serial mark parity") << "serial:/dev/ttyS0?parity=mark"
                                        << "'mark' is not a valid value for parity";
}

void TestPortConfig::refusesUri()
{
    QFETCH(QString, uri);
    QFETCH(QString, reason);
    QString error;
    QVERIFY(!PortConfig::fromUri(uri, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY2(error.startsWith(QStringLiteral("'%1' is not a port").arg(uri)), qPrintable(error));
}

void TestPortConfig::defaultIsHomeFile()
{
    const PortConfig config = PortConfig::defaults();
    QCOMPARE(config.kind, PortConfig::Kind::File);
    QCOMPARE(config.filePath, QDir::home().filePath(QStringLiteral("QBX740.prn")));
    QVERIFY(config.problem().isEmpty());
}

QTEST_GUILESS_MAIN(TestPortConfig)
#include "testportconfig.moc"
