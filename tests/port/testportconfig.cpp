#include "port/portmessages.h"
#include "porttest.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace qbx::test;
using Parity = PortConfig::Parity;
using Flow = PortConfig::Flow;

class TestPortConfig : public QObject
{
    Q_OBJECT

private slots:
    void readsOrRefusesUri_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<PortConfig>("expected");
        QTest::addColumn<QString>("reason"); // empty: the URI reads

        const auto reads = [](const char* name, const char* uri, const PortConfig& expected) {
            QTest::newRow(name) << uri << expected << QString();
        };
        reads("file with blank and colon", "file:/tmp/a b:c.prn", fileAt("/tmp/a b:c.prn"));
        reads("file with a control character", "file:/tmp/a\x01.prn", fileAt("/tmp/a\x01.prn"));
        reads("tcp highest port", "tcp:kiosk-01.example.org:65535", tcpAt("kiosk-01.example.org", 65535));
        reads("tcp ipv6 in brackets", "tcp:[::1]:9102", tcpAt("::1", 9102));
        reads("tcp ipv6 default port", "tcp:[fe80::1]", tcpAt("fe80::1"));
        reads("tcp ipv6 with a zone", "tcp:[fe80::1%eth0]:9100", tcpAt("fe80::1%eth0", 9100));
        reads("queue", "queue:Kiosk_Tickets", queueNamed("Kiosk_Tickets"));
        reads("serial plain", "serial:/dev/ttyUSB0", serialLine("/dev/ttyUSB0"));
        reads("serial everything", "serial:/dev/ttyS1?baud=115200&parity=even&flow=hardware&data=7&stop=2",
              serialLine("/dev/ttyS1", 115200, 7, Parity::Even, 2, Flow::Hardware));

        const auto row = [](const char* uri, const char* reason) {
            QTest::newRow(uri) << uri << PortConfig() << reason;
        };
        const char* portRange = "1 to 65535";
        row(qPrintable(QStringLiteral("lpt:") + QString(300, QLatin1Char('1'))), "use file:PATH");
        row("file:", "no output file");
        row("tcp: :9100", "no printer host");
        row("tcp::9100", "no printer host");
        row("tcp:kiosk_01!", "not a valid host");
        row("tcp:10.0.1", "not a valid host"); // a last label of digits is no name, and no whole address
        row("tcp:kiosk:0", portRange);
        row("tcp:kiosk:99999", portRange);
        row("tcp:kiosk:99999999999999999999", portRange);
        row("tcp:kiosk:", "port number is missing");
        row("tcp:[::1:9100", "closing ']'");
        row("tcp:::1", "in brackets");
        row("queue:", "no print queue");
        row("queue:a/b", "not a valid print queue");
        row("serial:", "no serial device");
        row("serial:/dev/ttyS0?speed=9600", "unknown serial setting 'speed'");
        row("serial:/dev/ttyS0?baud=0", "baud rate 0 is out of range");
        row("serial:/dev/ttyS0?data=9", "data bits must be 5 to 8");
        row("serial:/dev/ttyS0?stop=3", "stop bits must be 1 or 2");
        row("serial:/dev/ttyS0?parity=mark", "'mark' is not a valid value");
    }

    // Every URI that reads also comes back from the configuration it gives; one that does not says
    // why.
    void readsOrRefusesUri()
    {
        QFETCH(QString, uri);
        QFETCH(PortConfig, expected);
        QFETCH(QString, reason);
        QString error;
        const auto config = PortConfig::fromUri(uri, &error);
        if (!reason.isEmpty()) {
            QVERIFY(!config);
            QVERIFY2(error.contains(reason), qPrintable(error));
            // A long one is quoted by its first 200 characters.
            QVERIFY2(error.startsWith("'" + uri.left(200) + "' is not a port"), qPrintable(error));
            return;
        }
        QVERIFY2(config, qPrintable(error));
        QCOMPARE(*config, expected);
        const auto back = PortConfig::fromUri(expected.toUri(), &error);
        QVERIFY2(back, qPrintable(expected.toUri() + QStringLiteral(": ") + error));
        QCOMPARE(*back, expected);
    }

    void keepsEveryKindsSettings_data()
    {
        QTest::addColumn<QByteArray>("stored"); // null: what save() writes for the expected one
        QTest::addColumn<PortConfig>("expected");

        // Every kind set up at once, none with its defaults, and each in force in turn.
        PortConfig every = serialLine("/dev/ttyUSB3", 38400, 7, Parity::Even, 2, Flow::Software);
        for (const char* uri : {"file:/srv/tickets/kiosk 1.prn", "tcp:kiosk-01:9101", "queue:Kiosk_Tickets"})
            every.takeKindFrom(*PortConfig::fromUri(uri));
        for (const qbx::PortKind& kind : qbx::portKinds()) {
            every.kind = kind.kind;
            QTest::addRow("saved with %s in force", kind.name) << QByteArray() << every;
        }

        PortConfig tcpAlone = tcpAt(QStringLiteral("kiosk-01"), 9101);
        tcpAlone.filePath = PortConfig::defaults().filePath;
        QTest::newRow("older version: the kind in force alone")
            << QByteArray("[port]\nkind=tcp\n[tcp]\nhost=kiosk-01\nport=9101\n") << tcpAlone;
        PortConfig damagedSerial = tcpAlone;
        damagedSerial.filePath = QStringLiteral("/srv/t.prn");
        const QByteArray serial(
            "[serial]\ndevice=/dev/ttyS0\nbaud=fast\ndata=8\nparity=none\nstop=1\nflow=none\n");
        QTest::newRow("damaged serial line beside it")
            << "[port]\nkind=tcp\n[tcp]\nhost=kiosk-01\nport=9101\n[file]\npath=/srv/t.prn\n" + serial
            << damagedSerial;
        // Damage in the kind in force gives the defaults, never a port the user did not choose.
        QTest::newRow("damaged serial line in force")
            << "[port]\nkind=serial\n" + serial << PortConfig::defaults();
        QTest::newRow("no kind") << QByteArray("[file]\npath=/tmp/x.prn\n") << PortConfig::defaults();
        QTest::newRow("megabyte path")
            << "[port]\nkind=file\n[file]\npath=" + QByteArray(1 << 20, 'k') << PortConfig::defaults();
    }

    void keepsEveryKindsSettings()
    {
        QFETCH(QByteArray, stored);
        QFETCH(PortConfig, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("port.conf"));
        if (stored.isNull()) {
            writeFile(path, "[port]\nkind=tcp\nbaud=1200\n[tcp]\naddress=kiosk-02\n"); // an earlier layout's
            QSettings settings(path, QSettings::IniFormat);
            expected.save(settings);
            QVERIFY(!settings.contains(QStringLiteral("tcp/address")));
        } else {
            writeFile(path, stored);
        }
        QSettings settings(path, QSettings::IniFormat);
        QCOMPARE(PortConfig::load(settings), expected);
    }

    // Each message names the port, the problem and what to do about it.
    void messagesSayWhatToDo_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("phrases");

        const auto device = [](const char* name, int errorNumber, const QStringList& phrases) {
            QTest::newRow(name) << qbx::deviceProblem(QStringLiteral("/dev/usb/lp0"), errorNumber).text()
                                << phrases;
        };
        device("EACCES", EACCES,
               {"/dev/usb/lp0: permission denied", "'lp' group", "'dialout' group", "udev"});
        device("EPERM", EPERM, {"/dev/usb/lp0: permission denied"});
        device("EBUSY", EBUSY, {"/dev/usb/lp0: the device is busy", "Another driver or service"});
        device("ENODEV", ENODEV, {"/dev/usb/lp0: no such device", "switched on"});
        device("EIO", EIO, {"/dev/usb/lp0: the device reports an input/output", "has paper"});
        device("other errors keep the system's words", EROFS,
               {"/dev/usb/lp0: Read-only file system. Check the device"});
        QTest::newRow("no queue chosen")
            << qbx::unusablePort(queueNamed(QString())).text()
            << QStringList{"No print queue is chosen. Choose one with --port queue:NAME", "lpadmin -p NAME",
                           "localhost:631"};
        QTest::newRow("no host given")
            << qbx::unusablePort(tcpAt(QString())).text()
            << QStringList{"No printer host is given. Choose the printer port with --port"};
    }

    void messagesSayWhatToDo()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, phrases);
        for (const QString& phrase : phrases)
            QVERIFY2(message.contains(phrase), qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestPortConfig)
#include "testportconfig.moc"
