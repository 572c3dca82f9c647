#include "frames.h"
#include "porttest.h"
#include "progressmonitor.h"
#include "teskcomm.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using qbx::test::ListReporter;
using TeskKit::PortConfig;
using TeskKit::TeskComm;

namespace {

const QSize kPlace(255, 104);

template<typename T>
T* child(const QWidget& panel, const char* name)
{
    return panel.findChild<T*>(QString::fromLatin1(name));
}

QStringList kindTexts(const TeskComm& panel)
{
    QStringList texts;
    const auto* kind = child<QComboBox>(panel, "portKind");
    for (int i = 0; i < kind->count(); ++i)
        texts << kind->itemText(i);
    return texts;
}

void chooseKind(TeskComm& panel, PortConfig::Kind kind)
{
    auto* combo = child<QComboBox>(panel, "portKind");
    combo->setCurrentIndex(combo->findData(int(kind)));
}

PortConfig serialConfig()
{
    PortConfig config;
    config.kind = PortConfig::Kind::Serial;
    config.serialDevice = QStringLiteral("/dev/ttyUSB3");
    config.baudRate = 38400;
    config.dataBits = 7;
    config.parity = PortConfig::Parity::Even;
    config.stopBits = 2;
    config.flow = PortConfig::Flow::Software;
    return config;
}

} // namespace

Q_DECLARE_METATYPE(PortConfig::Kind)

class TestTeskComm : public QObject
{
    Q_OBJECT

private slots:
    void everyPageFitsThePlace_data();
    void everyPageFitsThePlace();
    void offersTheAllowedKinds_data();
    void offersTheAllowedKinds();
    void editsReachTheConfiguration();
    void browseGoesThroughTheHook();
    void loadedChoiceIsShown();
    void everyFieldIsNamedForScreenReaders();
    void cancelInTheProgressDialogEndsTheTransmission();
};

void TestTeskComm::everyPageFitsThePlace_data()
{
    QTest::addColumn<PortConfig::Kind>("kind");
    QTest::newRow("file") << PortConfig::Kind::File;
    QTest::newRow("network") << PortConfig::Kind::Tcp;
    QTest::newRow("print queue") << PortConfig::Kind::Queue;
    QTest::newRow("serial") << PortConfig::Kind::Serial;
}

void TestTeskComm::everyPageFitsThePlace()
{
    QFETCH(PortConfig::Kind, kind);
    QWidget window;
    TeskComm panel(&window);
    panel.setGeometry(QRect(QPoint(12, 168), kPlace));
    window.show();
    chooseKind(panel, kind);
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QSize needed = panel.minimumSizeHint();
    QVERIFY2(needed.width() <= kPlace.width() && needed.height() <= kPlace.height(),
             qPrintable(QStringLiteral("%1 x %2").arg(needed.width()).arg(needed.height())));
    for (const QWidget* w : panel.findChildren<QWidget*>()) {
        if (!w->isVisible() || qobject_cast<const QStackedWidget*>(w))
            continue;
        const QRect inPanel(w->mapTo(&panel, QPoint(0, 0)), w->size());
        QVERIFY2(panel.rect().contains(inPanel),
                 qPrintable(w->objectName() + QLatin1Char(' ') + w->metaObject()->className()));
    }
}

void TestTeskComm::offersTheAllowedKinds_data()
{
    QTest::addColumn<bool>("spooler");
    QTest::addColumn<bool>("tcpip");
    QTest::addColumn<bool>("file");
    QTest::addColumn<QStringList>("kinds");

    QTest::newRow("all three, as the window sets them")
        << true << true << true
        << QStringList{"Printer queue", "Network printer (TCP/IP)", "File or device", "Serial line"};
    QTest::newRow("no print queue") << false << true << true
                                    << QStringList{"Network printer (TCP/IP)", "File or device",
                                                   "Serial line"};
    // The default port is a file: a hidden kind that is the current choice stays visible.
    QTest::newRow("file hidden but chosen")
        << false << false << false << QStringList{"File or device", "Serial line"};
}

void TestTeskComm::offersTheAllowedKinds()
{
    QFETCH(bool, spooler);
    QFETCH(bool, tcpip);
    QFETCH(bool, file);
    QFETCH(QStringList, kinds);
    TeskComm panel;
    panel.setProperty("showspooler", spooler);
    panel.setProperty("showtcpip", tcpip);
    panel.setProperty("showfile", file);
    QCOMPARE(kindTexts(panel), kinds);
    QCOMPARE(panel.config(), PortConfig::defaults());
}

void TestTeskComm::editsReachTheConfiguration()
{
    TeskComm panel;
    panel.show();
    chooseKind(panel, PortConfig::Kind::Tcp);
    auto* host = child<QLineEdit>(panel, "portHost");
    host->clear();
    QTest::keyClicks(host, QStringLiteral("kiosk-01"));
    auto* port = child<QSpinBox>(panel, "portTcpPort");
    port->setValue(9101);

    QCOMPARE(panel.config().kind, PortConfig::Kind::Tcp);
    QCOMPARE(panel.config().host, QStringLiteral("kiosk-01"));
    QCOMPARE(panel.config().tcpPort, quint16(9101));

    chooseKind(panel, PortConfig::Kind::Serial);
    child<QComboBox>(panel, "portSerialDevice")->setCurrentText(QStringLiteral("/dev/ttyUSB3"));
    auto pick = [&panel](const char* name, const QVariant& value) {
        auto* combo = child<QComboBox>(panel, name);
        combo->setCurrentIndex(combo->findData(value));
    };
    pick("portBaud", 38400);
    pick("portDataBits", 7);
    pick("portParity", int(PortConfig::Parity::Even));
    pick("portStopBits", 2);
    pick("portFlow", int(PortConfig::Flow::Software));
    PortConfig expected = serialConfig();
    expected.host = QStringLiteral("kiosk-01");
    expected.tcpPort = 9101;
    expected.filePath = PortConfig::defaults().filePath;
    QCOMPARE(panel.config(), expected);
}

void TestTeskComm::browseGoesThroughTheHook()
{
    TeskComm panel;
    QString offered;
    panel.setFileChooser([&offered](QWidget*, const QString& current) {
        offered = current;
        return QStringLiteral("/tmp/chosen.prn");
    });
    QTest::mouseClick(child<QToolButton>(panel, "portFileBrowse"), Qt::LeftButton);
    QCOMPARE(offered, PortConfig::defaults().filePath);
    QCOMPARE(panel.config().filePath, QStringLiteral("/tmp/chosen.prn"));
    QCOMPARE(child<QLineEdit>(panel, "portFilePath")->text(), QStringLiteral("/tmp/chosen.prn"));

    panel.setFileChooser([](QWidget*, const QString&) { return QString(); }); // cancelled
    QTest::mouseClick(child<QToolButton>(panel, "portFileBrowse"), Qt::LeftButton);
    QCOMPARE(panel.config().filePath, QStringLiteral("/tmp/chosen.prn"));
}

void TestTeskComm::loadedChoiceIsShown()
{
    {
        TeskComm panel;
        panel.setConfig(serialConfig());
        panel.SavePortSettings("TeskQBX7Conf_Comm");
    }
    TeskComm panel;
    panel.LoadPortSettings("TeskQBX7Conf_Comm");
    QCOMPARE(panel.config(), serialConfig());
    QCOMPARE(child<QComboBox>(panel, "portKind")->currentText(), QStringLiteral("Serial line"));
    QCOMPARE(child<QComboBox>(panel, "portSerialDevice")->currentText(), QStringLiteral("/dev/ttyUSB3"));
    QCOMPARE(child<QComboBox>(panel, "portBaud")->currentText(), QStringLiteral("38400"));
    QCOMPARE(child<QComboBox>(panel, "portParity")->currentData().toInt(), int(PortConfig::Parity::Even));
    QVERIFY(child<QComboBox>(panel, "portSerialDevice")->isVisibleTo(&panel));
    QVERIFY(!child<QLineEdit>(panel, "portFilePath")->isVisibleTo(&panel));
}

void TestTeskComm::everyFieldIsNamedForScreenReaders()
{
    TeskComm panel;
    QSet<const QWidget*> labelled;
    for (const QLabel* label : panel.findChildren<QLabel*>()) {
        QVERIFY2(label->text().contains(QLatin1Char('&')), qPrintable(label->text()));
        labelled.insert(label->buddy());
    }
    for (const QWidget* w : panel.findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus || !w->objectName().startsWith(QLatin1String("port")))
            continue; // labels, and the pieces Qt builds inside a field
        QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    QVERIFY(labelled.contains(child<QComboBox>(panel, "portKind")));
    QVERIFY(labelled.contains(child<QLineEdit>(panel, "portFilePath")));
    QVERIFY(labelled.contains(child<QLineEdit>(panel, "portHost")));
    QVERIFY(labelled.contains(child<QComboBox>(panel, "portSerialDevice")));
}

void TestTeskComm::cancelInTheProgressDialogEndsTheTransmission()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.prn"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the last good transmission");
    }
    TeskComm panel;
    ListReporter reporter;
    panel.setReporter(&reporter);
    PortConfig config;
    config.filePath = path;
    panel.setConfig(config);
    panel.progressMonitor().setDelay(0);
    bool shown = false;
    panel.progressMonitor().setDialogShownHook([&shown](QProgressDialog& dialog) {
        shown = true;
        QVERIFY(dialog.isModal());
        // Pressed once the transmission lets events through, as a user's click would be.
        QTimer::singleShot(0, &dialog, [&dialog] {
            QVERIFY(QApplication::overrideCursor());
            QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
        });
    });

    panel.OpenPort();
    panel.WritePort(std::string(4 * 1024 * 1024, '\x1b'));
    panel.WritePort(qbx::storeFrame());
    panel.ClosePort();

    QVERIFY(shown);
    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().startsWith(
                 QStringLiteral("The transmission to %1 was cancelled.").arg(path)),
             qPrintable(reporter.all()));
    QVERIFY(!panel.session().lastTransmissionSucceeded());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!panel.progressMonitor().dialog());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("the last good transmission"));
}

QTEST_MAIN(TestTeskComm)
#include "testteskcomm.moc"
