#include "portmessages.h"

#include <QTest>

#include <cerrno>

class TestPortMessages : public QObject
{
    Q_OBJECT

private slots:
    void deviceFailureSaysWhatToDo_data();
    void deviceFailureSaysWhatToDo();
};

void TestPortMessages::deviceFailureSaysWhatToDo_data()
{
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<QStringList>("phrases");

    QTest::newRow("permission denied names the groups and udev")
        << EACCES
        << QStringList{"/dev/usb/lp0: permission denied", "'lp' group", "'dialout' group", "udev rule"};
    QTest::newRow("operation not permitted reads the same")
        << EPERM << QStringList{"permission denied", "'lp' group"};
    QTest::newRow("busy names another driver or service")
        << EBUSY << QStringList{"/dev/usb/lp0: the device is busy", "Another driver or service"};
    QTest::newRow("missing device asks for the printer")
        << ENODEV << QStringList{"no such device", "switched on"};
    QTest::newRow("other errors keep the system's words")
        << EIO << QStringList{"/dev/usb/lp0: Input/output error"};
}

void TestPortMessages::deviceFailureSaysWhatToDo()
{
    QFETCH(int, errorNumber);
    QFETCH(QStringList, phrases);
    const QString message = TeskKit::deviceFailure(QStringLiteral("/dev/usb/lp0"), errorNumber);
    for (const QString& phrase : phrases)
        QVERIFY2(message.contains(phrase), qPrintable(message));
}

QTEST_GUILESS_MAIN(TestPortMessages)
#include "testportmessages.moc"
