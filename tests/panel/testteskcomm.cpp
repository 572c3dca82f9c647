#include "dialoganswers.h"
#include "panel/findingsdialog.h"
#include "panel/portpages.h"
#include "panel/progressmonitor.h"
#include "panel/teskcomm.h"
#include "port/portkinds.h"
#include "port/storerecord.h"
#include "porttest.h"
#include "settings/choices.h"
#include "settings/frames.h"
#include "tcpsink.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

using namespace qbx::test;
using TeskKit::TeskComm;
using Stage = qbx::TransmissionStage;

namespace {

template<typename T = QComboBox>
T* child(const QWidget& panel, const char* name)
{
    return panel.findChild<T*>(QString::fromLatin1(name));
}

void pick(const TeskComm& panel, const char* name, const QVariant& value)
{
    auto* combo = child(panel, name);
    combo->setCurrentIndex(combo->findData(value));
}

} // namespace

Q_DECLARE_METATYPE(PortConfig::Kind)

class TestTeskComm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A desktop whose font is larger than the window's: the panel is shown in the window's font
        // all the same, which its place is measured for.
        QFont desktop = QApplication::font();
        desktop.setPointSize(14);
        QApplication::setFont(desktop);
    }

    void everyPageFitsAndIsNamedForScreenReaders_data()
    {
        QTest::addColumn<PortConfig::Kind>("kind");
        for (const qbx::PortKind& kind : qbx::portKinds())
            QTest::newRow(kind.name) << kind.kind;
    }

    void everyPageFitsAndIsNamedForScreenReaders()
    {
        QFETCH(PortConfig::Kind, kind);
        const QSize place(255, 104);
        QWidget window;
        TeskComm panel(&window);
        panel.setGeometry(QRect(QPoint(12, 168), place));
        QPushButton after(&window); // the window's next control
        window.show();
        pick(panel, "portKind", int(kind));
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // Tab goes from the kind list through the page's fields, row by row, and then leaves the panel.
        const auto tabStop = [](const QWidget* w) {
            return w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy();
        };
        QPoint last(0, 0);
        qsizetype stops = 1; // the kind list
        for (QWidget* w = child(panel, "portKind")->nextInFocusChain(); w != &after;
             w = w->nextInFocusChain()) {
            if (!tabStop(w))
                continue;
            ++stops;
            QVERIFY2(panel.isAncestorOf(w), qPrintable(w->objectName()));
            const QPoint at = w->mapTo(&panel, w->rect().center());
            QVERIFY2(at.y() > last.y() + 4 || (qAbs(at.y() - last.y()) <= 4 && at.x() > last.x()),
                     qPrintable(w->objectName()));
            last = at;
        }
        const QList<QWidget*> inPanel = panel.findChildren<QWidget*>();
        QCOMPARE(stops, std::count_if(inPanel.begin(), inPanel.end(), tabStop));

        const QSize needed = panel.minimumSizeHint();
        QVERIFY2(needed.width() <= place.width() && needed.height() <= place.height(),
                 qPrintable(QStringLiteral("%1 x %2").arg(needed.width()).arg(needed.height())));
        const auto placed = [&panel](const QWidget* w) {
            return QRect(w->mapTo(&panel, QPoint(0, 0)), w->size());
        };
        QSet<const QWidget*> labelled;
        for (const auto* label : panel.findChildren<QLabel*>())
            if (label->isVisible())
                labelled.insert(label->buddy());
        for (const QWidget* w : panel.findChildren<QWidget*>()) {
            if (!w->isVisible() || qobject_cast<const QStackedWidget*>(w))
                continue;
            const QString name = w->objectName() + QLatin1Char(' ') + w->metaObject()->className();
            QVERIFY2(panel.rect().contains(placed(w)), qPrintable(name));
            // Screen readers: every field of ours has a name, every field but a button a label, and
            // every label a mnemonic and a place left of its field, on the field's row. The pieces Qt
            // builds inside a field take no focus or have no name of ours.
            if (w->focusPolicy() != Qt::NoFocus && w->objectName().startsWith(QLatin1String("port")))
                QVERIFY2(!w->accessibleName().isEmpty() &&
                             (labelled.contains(w) || qobject_cast<const QToolButton*>(w)),
                         qPrintable(name));
            // What is typed is held to what the port takes.
            const auto* edit = qobject_cast<const QLineEdit*>(w);
            if (edit &&
                (name.startsWith(QLatin1String("port")) || qobject_cast<const QComboBox*>(edit->parent())))
                QVERIFY2(edit->maxLength() < QLineEdit().maxLength(), qPrintable(name));
            if (const auto* label = qobject_cast<const QLabel*>(w))
                QVERIFY2(label->text().contains(QLatin1Char('&')) && label->buddy() &&
                             placed(label).right() < placed(label->buddy()).left() &&
                             qAbs(placed(label).center().y() - placed(label->buddy()).center().y()) <= 4,
                         qPrintable(label->text()));
        }
    }

    // The default port is a file: a hidden kind that is the current choice stays visible, and its
    // Browse asks where to save, in the current file's folder.
    void offersTheAllowedKindsAndBrowsesForAFileToSave()
    {
        TeskComm panel;
        QCOMPARE(child(panel, "portKind")->currentText(), QStringLiteral("File or device")); // the default
        const auto kinds = [&panel](bool shown) {
            for (const char* name : {"showspooler", "showtcpip", "showfile"})
                panel.setProperty(name, shown);
            QStringList texts;
            for (int i = 0; i < child(panel, "portKind")->count(); ++i)
                texts << child(panel, "portKind")->itemText(i);
            return texts.join(QLatin1Char('|'));
        };
        QCOMPARE(kinds(true), "Printer queue|Network printer (TCP/IP)|File or device|Serial line");
        QCOMPARE(kinds(false), "File or device|Serial line");
        QCOMPARE(panel.config(), PortConfig::defaults());
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        DialogAnswers answers;
        answers.files = {{QStringLiteral("/tmp/chosen.prn"), {}}, {}}; // then cancelled
        QTest::mouseClick(child<QToolButton>(panel, "portFileBrowse"), Qt::LeftButton);
        QCOMPARE(answers.fileRequests.size(), 1);
        QCOMPARE(answers.fileRequests.first().directory, PortConfig::defaults().filePath);
        QVERIFY(answers.fileRequests.first().purpose == qbx::FileRequest::Purpose::Save);
        QCOMPARE(child<QLineEdit>(panel, "portFilePath")->text(), QStringLiteral("/tmp/chosen.prn"));

        QTest::mouseClick(child<QToolButton>(panel, "portFileBrowse"), Qt::LeftButton);
        QCOMPARE(panel.config().filePath, QStringLiteral("/tmp/chosen.prn"));
        pick(panel, "portKind", int(PortConfig::Kind::Serial));
        QCOMPARE(kinds(false), "Serial line");
    }

    // The window opens without building hidden pages or reading the system's lists, and what those
    // pages would show is saved again unchanged.
    void pagesAreBuiltWhenShownAndKeepEveryKind()
    {
        PortConfig saved = serialLine("/dev/ttyUSB3");
        for (const char* uri : {"file:/srv/tickets/kiosk.prn", "queue:Kiosk_Tickets", "tcp:kiosk-01:9101"})
            saved.takeKindFrom(*PortConfig::fromUri(uri)); // the last in force
        const std::string key = "TestPanelPages";
        TestSession(saved).session.SavePortSettings(key);
        DialogAnswers answers;
        TeskComm panel;
        panel.LoadPortSettings(key);
        panel.show();
        QCOMPARE(child<QLineEdit>(panel, "portHost")->text(), QStringLiteral("kiosk-01"));
        for (const char* unbuilt : {"portFilePath", "portQueue", "portSerialDevice"})
            QVERIFY2(!child<QWidget>(panel, unbuilt), unbuilt);
        child<QLineEdit>(panel, "portHost")->setText(QStringLiteral(" kiosk-02 ")); // spaces typed around it
        child<QSpinBox>(panel, "portTcpPort")->setValue(9102);

        pick(panel, "portKind", int(PortConfig::Kind::Queue));
        auto* queues = child(panel, "portQueue");
        QCOMPARE(queues->count(), 1); // the saved choice alone until the list is opened
        QCOMPARE(queues->currentText(), QStringLiteral("Kiosk_Tickets"));
        QVERIFY(!readAll(QStringLiteral("/proc/self/maps")).contains("libcups"));
        queues->showPopup();
        queues->hidePopup();
        QCOMPARE(queues->currentText(), QStringLiteral("Kiosk_Tickets"));
        // Read once; a queue added since shows after Refresh.
        QVERIFY(administer({"lpadmin", "-p", "qbx-later", "-v", "socket://127.0.0.1:9"}));
        QCOMPARE(queues->findText(QStringLiteral("qbx-later")), -1);
        child<QToolButton>(panel, "portQueueRefresh")->click();
        const bool refreshed = queues->findText(QStringLiteral("qbx-later")) >= 0;
        QVERIFY(administer({"lpadmin", "-x", "qbx-later"}) && refreshed);
        const QString fixtureQueue = qEnvironmentVariable("QBX_TEST_QUEUE");
        pick(panel, "portQueue", fixtureQueue);

        pick(panel, "portKind", int(PortConfig::Kind::Serial));
        auto* devices = child(panel, "portSerialDevice");
        devices->showPopup();
        devices->hidePopup();
        QCOMPARE(devices->currentText(), QStringLiteral("/dev/ttyUSB3"));
        for (const auto& [name, value] : {std::pair{"portBaud", 38400},
                                          {"portDataBits", 7},
                                          {"portStopBits", 2},
                                          {"portParity", int(PortConfig::Parity::Even)},
                                          {"portFlow", int(PortConfig::Flow::Software)}})
            pick(panel, name, value);
        pick(panel, "portKind", int(PortConfig::Kind::Tcp)); // a change of kind alone is kept too
        // A port set while the panel is shown brings its own kind's page.
        panel.setConfig(serialLine("/dev/ttyS1"));
        QVERIFY(child<QWidget>(panel, "portSerialDevice")->isVisible() &&
                !child<QWidget>(panel, "portHost")->isVisible());
        pick(panel, "portKind", int(PortConfig::Kind::Tcp));

        PortConfig edited = saved; // the file's page was never shown
        for (const QString& uri :
             QStringList{"tcp:kiosk-02:9102", "queue:" + fixtureQueue,
                         "serial:/dev/ttyUSB3?baud=38400&data=7&parity=even&stop=2&flow=software"})
            edited.takeKindFrom(*PortConfig::fromUri(uri));
        edited.kind = PortConfig::Kind::Tcp;
        TeskComm restored;
        restored.LoadPortSettings(key);
        QCOMPARE(restored.config(), edited);
        restored.SavePortSettings(key);
        QCOMPARE(answers.told, QStringList()); // saved, so nothing to tell
    }

    // What the window sends may change the printer's settings, which the command line's record of
    // the printer then no longer vouches for; a self-test page leaves them as they were.
    // A kind without a page of its own gets one made from its fields: each type of field shows what
    // the port holds, tells every edit and gives back what it shows.
    void aPageMadeFromFieldsKeepsEveryValue()
    {
        const auto uri =
            QStringLiteral("serial:/dev/ttyS1?baud=19200&data=7&parity=odd&stop=2&flow=software");
        int edits = 0;
        qbx::FieldsPage page([&edits] { ++edits; }, *qbx::describedKind(PortConfig::Kind::Serial));
        page.apply(*PortConfig::fromUri(uri));
        QCOMPARE(edits, 6);
        PortConfig taken;
        taken.kind = PortConfig::Kind::Serial;
        page.take(taken);
        QCOMPARE(taken.toUri(), uri);
    }

    void theRecordForgetsWhatTheWindowMayChange_data()
    {
        QTest::addColumn<bool>("keepsSettings");
        QTest::newRow("store or data file") << false;
        QTest::newRow("self-test page") << true;
    }

    void theRecordForgetsWhatTheWindowMayChange()
    {
        QFETCH(bool, keepsSettings);
        const QTemporaryDir folder;
        qputenv("XDG_STATE_HOME", QFile::encodeName(folder.path()));
        const PortConfig port = *PortConfig::fromUri("file:" + folder.filePath(QStringLiteral("out.prn")));
        QString why;
        {
            qbx::StoreRecord record(port);
            QVERIFY(
                record.takeTurn(&why) == qbx::StoreRecord::Turn::Taken &&
                record.add(std::get<qbx::ControlSnapshot>(qbx::snapshotFromChoices({"asb=enable"})), &why));
        }
        TeskComm panel;
        panel.setConfig(port);
        QVERIFY(panel.transmit([](qbx::StreamPort& p) { qbx::PrintSelfTestPage(p); }, {}, keepsSettings));
        QTRY_VERIFY(QFile::exists(folder.filePath(QStringLiteral("out.prn"))));
        QCOMPARE(qbx::StoreRecord(port).exists(), keepsSettings);
        // A record folder that cannot be made, beneath a file, is said to be so.
        qputenv("XDG_STATE_HOME", QFile::encodeName(folder.filePath(QStringLiteral("out.prn/state"))));
        QCOMPARE(qbx::StoreRecord(port).takeTurn(&why), qbx::StoreRecord::Turn::NoRecordKept);
        QVERIFY2(why.startsWith(QStringLiteral("cannot make the folder")), qPrintable(why));
    }

    // A device list read while nothing is chosen shows nothing chosen: what it shows is what the
    // port takes, and the entry the user then picks is an edit.
    void aListedDeviceIsTakenWhenPicked()
    {
        int edits = 0;
        int reads = 0;
        qbx::SerialPage page([&edits] { ++edits; },
                             [&reads](QString*) {
                                 ++reads;
                                 return QStringList{"/dev/ttyS0"};
                             });
        page.apply(serialLine({}));
        edits = 0;
        auto* devices = child(page, "portSerialDevice");
        devices->showPopup();
        devices->hidePopup();
        QCOMPARE(devices->currentText(), QString());
        devices->setCurrentIndex(0);
        QCOMPARE(edits, 1);
        devices->showPopup(); // a line plugged in meanwhile shows at the next opening
        devices->hidePopup();
        QCOMPARE(reads, 2);
    }

    // "Test" checks the chosen port and shows the findings in a dialog that the keyboard closes (that it
    // checks nothing while a transmission runs, aStalledPrinterNeverFreezesTheWindow proves; what it
    // finds on each kind of port, TestPortDoctor). A port not set up yet is named by its kind.
    void testShowsTheFindings()
    {
        TeskComm panel;
        DialogAnswers answers;
        panel.setConfig(tcpAt(QString()));
        panel.show();
        QCOMPARE(child(panel, "portKind")->currentData(), QVariant(int(PortConfig::Kind::Tcp)));
        QString text;
        answers.onShown = [&](QDialog& dialog) {
            text =
                dialog.findChild<QLabel*>()->text() + '\n' + static_cast<qbx::FindingsDialog&>(dialog).text();
            QVERIFY(!dialog.accessibleName().isEmpty());
            for (QWidget* part : dialog.findChildren<QWidget*>()) // what the keyboard reaches has a name
                QVERIFY(!(part->focusPolicy() & Qt::TabFocus) ||
                        !QAccessible::queryAccessibleInterface(part)->text(QAccessible::Name).isEmpty());
            auto* close = dialog.findChild<QPushButton*>();
            QVERIFY(close && close->isDefault());
            QTest::keyClick(&dialog, Qt::Key_Return);
        };
        QTest::mouseClick(child<QToolButton>(panel, "portTest"), Qt::LeftButton);
        QTRY_VERIFY2(text.contains(QStringLiteral("Network printer (TCP/IP), not set up yet: 1 problem")) &&
                         text.contains(QStringLiteral("Choose the printer port in the port panel.")),
                     qPrintable(text));
    }

    void aStalledPrinterNeverFreezesTheWindow_data()
    {
        QTest::addColumn<bool>("atConnect");
        QTest::addColumn<QString>("waitingFor"); // what the dialog says, once the window was closed
        QTest::newRow("connect without an answer") << true << "Opening 127\\.0\\.0\\.1:%1\\.\\.\\.\\n";
        QTest::newRow("printer that stops reading")
            << false
            << "Sending to 127\\.0\\.0\\.1:%1\\.\\.\\.\\n\\S+ \\S+ of 64\\.0 MB, \\S+ \\S+/s\\n"
               "The printer has taken no data for \\d+ s\\.\\n";
    }

    void aStalledPrinterNeverFreezesTheWindow()
    {
        QFETCH(bool, atConnect);
        QFETCH(QString, waitingFor);
        const TcpSink printer(atConnect ? TcpSink::Behaviour::NeverAccepts : TcpSink::Behaviour::NeverRead);
        const quint16 port = printer.port();
        TeskComm panel;
        DialogAnswers answers;
        panel.session().setTimeouts({.connectMs = 60000, .writeStallMs = 60000}); // patient: the user cancels
        panel.setConfig(tcpAt("127.0.0.1", port));
        panel.show();
        panel.progressMonitor().setDelay(200);
        int beats = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, [&beats] { ++beats; });
        heartbeat.start(10);
        QString shownText;
        int range = -1; // 0: a moving bar, while how long it takes is not known
        int value = -1; // of the bar's range: what went out before the printer stopped
        bool closedEarly = true;
        QElapsedTimer clock;
        qint64 shownAfter = -1; // -2: shown without the wait cursor
        answers.onShown = [&](QDialog& shown) {
            const QCursor* cursor = QApplication::overrideCursor();
            shownAfter = cursor && cursor->shape() == Qt::WaitCursor ? clock.elapsed() : -2;
            auto& dialog = static_cast<QProgressDialog&>(shown);
            // Pressed a moment later, while the port is still waiting, as a user's click would be;
            // for a printer that takes nothing, once the dialog says so.
            auto* look = new QTimer(&dialog);
            look->start(300);
            connect(look, &QTimer::timeout, &dialog, [&, look] {
                if (!atConnect && !dialog.labelText().contains(QLatin1String("taken no data")))
                    return;
                look->stop();
                range = dialog.maximum();
                value = dialog.value();
                // As the title bar's close button, through the window system: the window waits for
                // the end of the transmission, and says so.
                closedEarly =
                    QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(
                        panel.windowHandle());
                shownText = dialog.labelText();
                // A screen reader's press can start a check or a second transmission: each is refused
                // (the check's findings would pass for the transmission's).
                child<QToolButton>(panel, "portTest")->click();
                panel.OpenPort();
                panel.WritePort(qbx::selfTestFrame());
                panel.ClosePort();
                // Through the dialog's own native window, where a user's click arrives first.
                const QPushButton* cancel = dialog.findChild<QPushButton*>();
                QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {},
                                  cancel->mapTo(&dialog, cancel->rect().center()));
            });
        };
        bool toldOnceEnded = false; // the last message comes after the progress and its wait cursor
        answers.onTold = [&] {
            toldOnceEnded = !QApplication::overrideCursor() && !panel.findChild<QProgressDialog*>();
        };
        clock.start();

        // Inside the application's event loop, so that the panel's close, the last window's, ends it.
        QTimer::singleShot(0, &panel, [&panel] {
            panel.transmit([](qbx::StreamPort& port) {
                port.OpenPort();
                port.ExpectBytes(64 << 20); // as for a data file: its progress shows
                port.WritePort(std::string(64 << 20, '\x1b'));
                port.ClosePort();
            });
        });
        // A close that is lost would leave the window open for ever.
        QTimer::singleShot(15000, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();

        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(
                                        waitingFor.arg(port) + "The window closes once this has ended\\."))
                     .match(shownText)
                     .hasMatch(),
                 qPrintable(shownText));
        QCOMPARE(range, atConnect ? 0 : 1000);
        QVERIFY2(atConnect || (value > 0 && value < 1000), qPrintable(QString::number(value)));
        QCOMPARE(panel.session().lastOutcome().result, qbx::TransmissionOutcome::Result::Cancelled);
        QCOMPARE(panel.session().lastOutcome().stage, atConnect ? Stage::Connecting : Stage::Sending);
        QCOMPARE(answers.told.size(), 3);
        QVERIFY(toldOnceEnded);
        const QString stillRunning =
            QStringLiteral("A transmission to 127.0.0.1:%1 is still running: wait until it has ended.")
                .arg(port);
        QCOMPARE(answers.told.mid(0, 2), QStringList({stillRunning, stillRunning}));
        QVERIFY(answers.tones.last() == qbx::Dialogs::Tone::Information); // the user's own cancel: no problem
        QVERIFY2(answers.told.last().startsWith(
                     QStringLiteral("The transmission to 127.0.0.1:%1 was cancelled.").arg(port)),
                 qPrintable(answers.told.last()));
        // The window's events went on while the port waited: the heartbeat kept beating.
        QVERIFY2(beats * 10 > clock.elapsed() / 3, qPrintable(QString::number(beats)));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(shownAfter >= 200, qPrintable(QString::number(shownAfter))); // not for a moment's wait
        QTest::qWait(300); // nothing comes back after the end
        QVERIFY(!QApplication::overrideCursor() && !panel.progressMonitor().dialog());
        QVERIFY(!closedEarly);
        QVERIFY(!panel.isVisible());
    }
};

QTEST_MAIN(TestTeskComm)
#include "testteskcomm.moc"
