#include "porttest.h"

#include <QTest>

using namespace qbx::test;
using Parity = PortConfig::Parity;
using Flow = PortConfig::Flow;

Q_DECLARE_METATYPE(PortConfig)

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

    QTest::newRow("file with blank and colon") << "file:/tmp/a b:c.prn" << fileAt("/tmp/a b:c.prn");
    QTest::newRow("tcp default port") << "tcp:kiosk-01" << tcpAt("kiosk-01");
    QTest::newRow("tcp with port") << "tcp:kiosk-01.example.org:9101" << tcpAt("kiosk-01.example.org", 9101);
    QTest::newRow("tcp ipv6 in brackets") << "tcp:[::1]:9102" << tcpAt("::1", 9102);
    QTest::newRow("tcp ipv6 default port") << "tcp:[fe80::1]" << tcpAt("fe80::1");
    QTest::newRow("tcp highest port") << "tcp:p:65535" << tcpAt("p", 65535);
    QTest::newRow("queue") << "queue:Kiosk_Tickets" << queueNamed("Kiosk_Tickets");
    QTest::newRow("serial plain") << "serial:/dev/ttyUSB0" << serialLine("/dev/ttyUSB0");
    QTest::newRow("serial everything")
        << "serial:/dev/ttyS1?baud=115200&parity=even&flow=hardware&data=7&stop=2"
        << serialLine("/dev/ttyS1", 115200, 7, Parity::Even, 2, Flow::Hardware);
    QTest::newRow("serial software flow")
        << "serial:/dev/ttyACM0?flow=software&parity=odd"
        << serialLine("/dev/ttyACM0", 9600, 8, Parity::Odd, 1, Flow::Software);
}

// Every URI that reads also comes back from the configuration it gives.
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

    const QString portRange = QStringLiteral("1 to 65535");
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
    QTest::newRow("tcp port 0") << "tcp:kiosk:0" << portRange;
    QTest::newRow("tcp port 99999") << "tcp:kiosk:99999" << portRange;
    QTest::newRow("tcp port huge") << "tcp:kiosk:99999999999999999999" << portRange;
    QTest::newRow("tcp port with text") << "tcp:kiosk:9100x" << portRange;
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
                                        << "'mark' is not a valid value";
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
