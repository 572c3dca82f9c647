#include "golden.h"
#include "port/portkinds.h"
#include "settings/catalogue.h"
#include "settings/store.h"
#include "settings/textforms.h"
#include "ui/manualdialog.h"
#include "ui/windowlayout.h"
#include "windowfixture.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>

#include <fstream>

using namespace qbx::test;
using namespace qbx::ui;
using Call = RecordingPort::Call;

namespace {

const char* const kKey = "TeskQBX7Conf_Comm";

QString qt(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The name a focus step is known by: the port panel's parts count as the panel.
QString nameOf(QWidget* widget, const WindowFixture& f)
{
    return f.control("scmOutput")->isAncestorOf(widget) ? QStringLiteral("scmOutput") : widget->objectName();
}

// What a fresh window shows, the first time and on any later run.
void verifyFreshStart(const WindowFixture& f)
{
    for (const SettingPlace& place : settingPlaces())
        if (place.hasList())
            QCOMPARE(f.control<QComboBox>(std::string(place.list).c_str())->currentIndex(), 0);
    QCOMPARE(f.tabs()->currentIndex(), 0);
    QVERIFY(f.control("txtPresenterDelay")->isHidden());
    QCOMPARE(f.control<QLineEdit>("txtPresenterDelay")->text(), QStringLiteral("30s"));
    QVERIFY(!f.control<QCheckBox>("chk_AdjustCutPos")->isChecked());
    QVERIFY(!f.control("Picture1")->isEnabled());
    QVERIFY(!f.control("txtCutOffset")->isEnabled());
    QCOMPARE(f.control<QLineEdit>("txtCutOffset")->text(), QString());
    QCOMPARE(f.port.calls, (std::vector<Call>{{Call::Load, kKey}}));
}

// Everything a control of the layout table must be, wherever it sits.
void verifyPlaced(const WindowFixture& f, int page, QWidget* widget, TwipsRect twips, FontRole role,
                  std::string_view toolTip)
{
    const QString name = widget->objectName();
    QVERIFY2(f.tabs()->widget(page)->isAncestorOf(widget), qPrintable(name));
    const QRect inTabs(widget->mapTo(f.tabs(), QPoint(0, 0)), widget->size());
    QTRY_COMPARE(inTabs, QRect(twips.left / 15, twips.top / 15, twips.width / 15, twips.height / 15));
    QVERIFY2(f.tabs()->rect().contains(inTabs), qPrintable(name));
    QCOMPARE(widget->toolTip(), qt(toolTip));
    QVERIFY2(!QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty(),
             qPrintable(name));

    // The roles' meanings (windowlayout.h); a metric-compatible face may stand in.
    const QFont font = widget->font();
    QCOMPARE(font.families().value(0), QStringLiteral("MS Sans Serif"));
    QCOMPARE(font.pointSizeF(), role >= FontRole::Title ? 13.5 : role == FontRole::Heading ? 9.75 : 8.25);
    QCOMPARE(font.bold(), role != FontRole::Default);
    QCOMPARE(font.underline(), role == FontRole::TitleNotice);
    const QString used = QFontInfo(font).family();
    QVERIFY2(used == QLatin1String("MS Sans Serif") || used == QLatin1String("Liberation Sans"),
             qPrintable(used));

    // No clipped text, and an access key on every button.
    if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
        const bool fits =
            label->wordWrap()
                ? label->heightForWidth(label->width()) <= label->height()
                : label->fontMetrics().horizontalAdvance(label->text().remove(u'&')) <= label->width();
        QVERIFY2(fits && label->fontMetrics().height() <= label->height(), qPrintable(name));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(name));
        QVERIFY2(!QKeySequence::mnemonic(button->text()).isEmpty(), qPrintable(name));
    }
    QVERIFY2(widget->fontMetrics().height() <= widget->height(), qPrintable(name));
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void startUpAndLayout()
    {
        WindowFixture f;
        verifyFreshStart(f);
        const QStringList texts{
            f.window->windowTitle(), f.window->objectName(), f.control<QLabel>("labTitle")->text(),
            f.control<QLabel>("labVersion")->text(),
            QAccessible::queryAccessibleInterface(f.control("labVersion"))->text(QAccessible::Name)};
        QCOMPARE(texts, (QStringList{"Tesk QBX740 Configuration Utility", "frmMain",
                                     "Tesk QBX740 Configuration Utility", "Version 1.1", "Version 1.1"}));
        // One family everywhere: message boxes, dialogs and tooltips take the window's font.
        QCOMPARE(QApplication::font().families(), f.window->font().families());
        QCOMPARE(QToolTip::font().families(), f.window->font().families());
        QCOMPARE(qbx::versionLine(1, 1, 3), std::string("Version 1.1 revision 3"));
        QCOMPARE(qbx::versionLine(2, 10, 0), std::string("Version 2.10"));
        QVERIFY(f.control("Label20")->isHidden());
        QCOMPARE(f.window->fileDialog().request().directory, QDir::homePath());
        QVERIFY(!f.window->windowIcon().isNull());

        QCOMPARE(f.window->size(), QSize(7440 / 15, 4785 / 15));
        QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
        QCOMPARE(f.tabs()->geometry(), QRect(0, 0, 7425 / 15, 4755 / 15));
        const Qt::WindowFlags flags = f.window->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint) && flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        const QRect screen = f.window->screen()->availableGeometry();
        QTRY_VERIFY((f.window->geometry().center() - screen.center()).manhattanLength() <= 2);
        // Only the first showing centres it: moved, then hidden (minimised) and shown, it stays.
        f.window->move(screen.topLeft() + QPoint(10, 20));
        f.window->hide();
        f.window->show();
        QTRY_COMPARE(f.window->pos(), screen.topLeft() + QPoint(10, 20));

        // Every control of the layout table, on its page, where the table puts it; every setting row
        // labelled from the catalogue, starting at "No Change", the label announced for the list.
        for (std::size_t step = 0; step < qbx::kSettingCount; ++step) {
            const SettingPlace& setting = settingPlaces()[step];
            if (!setting.hasList())
                continue;
            const int page = int(setting.page);
            f.showPage(page);
            auto* label = f.control<QLabel>(std::string(setting.label).c_str());
            auto* list = f.control<QComboBox>(std::string(setting.list).c_str());
            verifyPlaced(f, page, label, {180, 600 + 360 * setting.row, 4395, 315}, FontRole::Heading, {});
            verifyPlaced(f, page, list, {4740, 600 + 360 * setting.row, 2535, 315}, FontRole::Default,
                         setting.toolTip);
            QCOMPARE(label->text().remove(u'&'), qt(qbx::catalogue()[step].label));
            QVERIFY(!QKeySequence::mnemonic(label->text()).isEmpty());
            QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
            QCOMPARE(list->itemText(0), QStringLiteral("No Change"));
            QVERIFY(list->view()->minimumWidth() >= list->view()->sizeHintForColumn(0)); // entries whole
            QCOMPARE(list->count(), int(qbx::catalogue()[step].entries.size()));
            QCOMPARE(list->accessibleName(), label->text().remove(u'&'));
            const auto labels = QAccessible::queryAccessibleInterface(list)->relations(QAccessible::Label);
            QVERIFY(labels.size() == 1 && labels.first().first->object() == label);
        }
        for (int page = 0; page < int(pages().size()); ++page) {
            f.showPage(page);
            QCOMPARE(f.tabs()->tabText(page).remove(u'&'), qt(pages()[std::size_t(page)].caption));
            for (const ControlLayout& c : pages()[std::size_t(page)].controls)
                verifyPlaced(f, page, f.control(std::string(c.name).c_str()), c.twips, c.font, c.toolTip);
        }
    }

    // The window as it looks: every page, the port panel with each kind, the cut position diagram
    // with its focus frame; the pictures, drawings, colours and spacings as they were seen and kept.
    // Only the fonts of tests/ui/fonts.conf are known here, so the text is drawn alike everywhere.
    void looksAsKept_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("portKind");
        for (const qbx::PortKind& kind : qbx::portKinds())
            QTest::newRow(kind.name) << int(Main) << int(kind.kind);
        for (int page = Characters; page <= Status; ++page)
            QTest::newRow(qt(pages()[std::size_t(page)].caption).toLatin1()) << page << -1;
    }

    void looksAsKept()
    {
        QFETCH(int, page);
        QFETCH(int, portKind);
        WindowFixture f;
        f.control<QCheckBox>("chk_AdjustCutPos")->click();
        f.window->AdjustCutPosition(12.5f);
        f.showPage(page);
        f.control("Picture1")->setFocus();
        if (portKind >= 0) {
            auto* kinds = f.panel().findChild<QComboBox*>(QStringLiteral("portKind"));
            kinds->setCurrentIndex(kinds->findData(portKind));
            // The fields that show this computer's files and devices show the same everywhere.
            if (auto* file = f.panel().findChild<QLineEdit*>(QStringLiteral("portFilePath")))
                file->setText(QStringLiteral("/var/tmp/QBX740.prn"));
            if (auto* device = f.panel().findChild<QComboBox*>(QStringLiteral("portSerialDevice")))
                device->setEditText(QStringLiteral("/dev/ttyS0"));
        }
        const QString name =
            QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        f.window->grab().save(&png, "PNG");
        const QString differs =
            differsFromKept(QStringLiteral("window-%1.png").arg(name.toLower()), png.data());
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
    }

    // From a list with the focus, Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDown and Ctrl+PgUp turn the
    // pages, and an Alt+letter that is no access key does nothing; the list keeps its entry. Alt
    // and a label's key then takes the focus to its list.
    void keysNeverChooseAnEntry_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("page"); // the page that the key leads to from "Characters"
        const auto row = [](const char* name, Qt::Key key, Qt::KeyboardModifiers modifiers, int page) {
            QTest::newRow(name) << int(key) << int(modifiers) << page;
        };
        row("Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier, Paper);
        row("Ctrl+Shift+Tab", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, Main);
        row("Ctrl+PgDown", Qt::Key_PageDown, Qt::ControlModifier, Paper);
        row("Ctrl+PgUp", Qt::Key_PageUp, Qt::ControlModifier, Main);
        row("Alt+N, the initial of an entry", Qt::Key_N, Qt::AltModifier, Characters);
    }

    void keysNeverChooseAnEntry()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, page);
        WindowFixture f;
        f.showPage(Characters);
        auto* list = f.control<QComboBox>("cmbZeroStyle");
        list->setFocus();
        QTest::keyClick(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(f.tabs()->currentIndex(), page);
        QCOMPARE(list->currentIndex(), 0);
        f.showPage(Characters);
        f.control("cmbCRCode")->setFocus();
        QTest::keyClick(f.control("cmbCRCode"), Qt::Key_Z, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), list);
    }

    void tabbing()
    {
        // With the cut position adjuster on and the custom presenter delay shown, Tab visits a page's
        // controls in the order of their places in the layout table, the port panel's parts as one.
        WindowFixture f;
        f.control<QCheckBox>("chk_AdjustCutPos")->click();
        auto* delay = f.control<QComboBox>("cmbPresenterDelay");
        delay->setCurrentIndex(delay->count() - 1);
        for (int page = 0; page < int(pages().size()); ++page) {
            std::vector<std::pair<int, QString>> places;
            for (const SettingPlace& p : settingPlaces())
                if (p.hasList() && int(p.page) == page)
                    places.emplace_back(p.focus, qt(p.list));
            for (const ControlLayout& c : pages()[std::size_t(page)].controls)
                if (c.focus != kNoFocus)
                    places.emplace_back(c.focus, qt(c.name));
            std::sort(places.begin(), places.end());
            QStringList expected;
            for (const auto& place : places)
                expected << place.second;

            f.showPage(page);
            f.tabs()->setFocus(Qt::TabFocusReason);
            QTRY_COMPARE(QApplication::focusWidget(), f.tabs()->focusProxy());
            QStringList visited;
            for (int i = 0; i < 40; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QWidget* now = QApplication::focusWidget();
                if (now == f.tabs()->focusProxy())
                    break;
                if (visited.isEmpty() || visited.last() != nameOf(now, f))
                    visited << nameOf(now, f);
            }
            QCOMPARE(visited, expected);
        }
    }

    void closingSavesOnceAndNextRunStartsClean_data()
    {
        QTest::addColumn<bool>("fromTitleBar");
        QTest::newRow("Close button") << false;
        QTest::newRow("title bar") << true;
    }

    void closingSavesOnceAndNextRunStartsClean()
    {
        QFETCH(bool, fromTitleBar);
        {
            WindowFixture first;
            first.control<QComboBox>("cmbCodePage")->setCurrentIndex(5);
            first.control<QCheckBox>("chk_AdjustCutPos")->click();
            first.window->AdjustCutPosition(12.5f);
            auto* delay = first.control<QComboBox>("cmbPresenterDelay");
            delay->setCurrentIndex(delay->count() - 1);
            first.control<QLineEdit>("txtPresenterDelay")->setText(QStringLiteral("12s"));
            first.port.calls.clear();
            if (fromTitleBar) {
                QCloseEvent close; // what the window system sends for the title bar's close
                QCoreApplication::sendEvent(first.window->windowHandle(), &close);
            } else {
                QTest::mouseClick(first.control("butClose"), Qt::LeftButton);
            }
            QTRY_VERIFY(!first.window->isVisible());
            QCloseEvent again; // closed once more, say as the program ends
            QCoreApplication::sendEvent(first.window.get(), &again);
            QCOMPARE(first.port.calls, (std::vector<Call>{{Call::Save, kKey}}));
        }
        WindowFixture second;
        verifyFreshStart(second);
    }

    // A choice saved as a profile comes back whole after Reset All, from the profile and from the
    // settings file of what Store Settings sent; a profile that cannot be taken changes nothing.
    void profilesKeepTheChoice()
    {
        const QTemporaryDir dir;
        WindowFixture f;
        const auto run = [&f](const QString& text) {
            for (QAction* action : f.control<QToolButton>("butProfiles")->menu()->actions())
                if (action->text().remove(u'&').startsWith(text))
                    action->trigger();
        };
        f.control<QComboBox>("cmbCodePage")->setCurrentIndex(5);
        f.control<QCheckBox>("chk_AdjustCutPos")->click();
        f.window->AdjustCutPosition(-2.5f);
        auto* delay = f.control<QComboBox>("cmbPresenterDelay");
        delay->setCurrentIndex(delay->count() - 1);
        f.control<QLineEdit>("txtPresenterDelay")->setText(QStringLiteral("12s"));
        const std::vector<Call> chosen = f.storeFromMainPage();
        std::ofstream settings(dir.filePath(QStringLiteral("kiosk.dst")).toStdString());
        for (const Call& call : chosen)
            settings << call.data;
        settings.close();
        std::ofstream(dir.filePath(QStringLiteral("bad.profile")).toStdString())
            << "code-page=#2\n\nzero-style=round\n";
        const QString profile = dir.filePath(QStringLiteral("kiosk.profile"));
        f.dialogs.files = {{profile, {}},
                           {profile, {}},
                           {dir.filePath(QStringLiteral("kiosk.dst")), {}},
                           {dir.filePath(QStringLiteral("bad.profile")), {}},
                           {dir.filePath(QStringLiteral("empty.profile")), {}}};
        std::ofstream(dir.filePath(QStringLiteral("empty.profile")).toStdString()) << "\xEF\xBB\xBF# none\n";

        QTest::keyClick(f.window.get(), Qt::Key_S, Qt::ControlModifier);
        run(QStringLiteral("Reset All"));
        QCOMPARE(f.control<QLabel>("labStatus")->text(),
                 QStringLiteral("Every setting is back at \"No Change\"."));
        QCOMPARE(f.storeFromMainPage().size(), std::size_t(3)); // open, the store frame alone, close
        QTest::keyClick(f.window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(f.storeFromMainPage(), chosen);
        run(QStringLiteral("Reset All"));
        run(QStringLiteral("Open Settings File"));
        QCOMPARE(f.storeFromMainPage(), chosen);
        run(QStringLiteral("Open Settings Profile"));
        QCOMPARE(f.storeFromMainPage(), chosen);
        QCOMPARE(f.dialogs.told.size(), 1);
        QVERIFY2(f.dialogs.told.first().contains(QStringLiteral("line 3: zero-style")),
                 qPrintable(f.dialogs.told.first()));
        run(QStringLiteral("Open Settings Profile")); // one that names nothing loses nothing either
        QVERIFY(f.dialogs.told.last().contains(QStringLiteral("names no setting")));
        QCOMPARE(f.storeFromMainPage(), chosen);
        QString manual;
        bool pageFirst = false; // a screen reader reads it, the arrows scroll it
        QSize shownSize;
        int sideways = -1;
        f.dialogs.onShown = [&](QDialog& shown) {
            manual = static_cast<qbx::ManualDialog&>(shown).text();
            pageFirst = shown.focusWidget() && shown.focusWidget()->inherits("QAbstractScrollArea");
            // A page of ManualDialog::kColumns by kLines characters: no line needs scrolling sideways.
            const auto* page = qobject_cast<QPlainTextEdit*>(shown.focusWidget());
            const int margin = qRound(2 * page->document()->documentMargin());
            const QFontMetricsF metrics(page->font());
            shownSize = QSize(qRound((page->viewport()->width() - margin) / metrics.horizontalAdvance(u'x')),
                              int((page->viewport()->height() - margin) / metrics.lineSpacing()));
            sideways = page->horizontalScrollBar()->maximum();
            shown.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close)->click();
            QVERIFY(!shown.isVisible());
        };
        QTest::keyClick(f.window.get(), Qt::Key_F1);
        // The man page whole: the window's keys and the command line's.
        QTRY_VERIFY(manual.contains(QStringLiteral("Ctrl+O")) &&
                    manual.contains(QStringLiteral("--ports-from")));
        QVERIFY(pageFirst);
        QCOMPARE(shownSize, QSize(qbx::ManualDialog::kColumns, qbx::ManualDialog::kLines));
        QCOMPARE(sideways, 0);
        // A window whose other pages were never opened takes the profile on them too.
        WindowFixture fresh(WindowFixture::Printer::Recording, WindowFixture::Pages::NeverOpened);
        fresh.dialogs.files = {{profile, {}}};
        QTest::keyClick(fresh.window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(fresh.storeFromMainPage(), chosen);
        // Where no test looks at a dialog, it is simply there, as on a user's screen.
        QTest::keyClick(fresh.window.get(), Qt::Key_F1);
        QCoreApplication::processEvents(); // what follows its showing
        QVERIFY(fresh.window->findChild<qbx::ManualDialog*>()->isVisible());
    }

    void buttonsSend_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("lists");        // so many lists moved to their last entry first
        QTest::addColumn<QByteArray>("write"); // empty: what the Store operation makes of the screen
        QTest::addColumn<QString>("said");     // the beginning of the main page's status, then
        QTest::addColumn<QString>("chosen");   // what the count of chosen settings says

        QTest::newRow("self test page")
            << "butPrintSelfTest" << 0 << QByteArray("\x1B\x3F\x0A\x00", 4) << "Sent the self-test page to "
            << "No setting chosen";
        QTest::newRow("store, nothing chosen: the store command alone")
            << "butDownload" << 0 << QByteArray("\x1B\x1D#W00000\n\0", 11) << "Nothing to change: "
            << "No setting chosen";
        QTest::newRow("store, one list") << "butDownload" << 1 << QByteArray() << "Stored 1 setting on "
                                         << "1 setting chosen, on Characters";
        QTest::newRow("store, every list")
            << "butDownload" << 99 << QByteArray() << "Stored 21 settings on "
            << "21 settings chosen, on Characters, Paper, Tickets, Presenter, Status";
    }

    void buttonsSend()
    {
        // One transmission per click, with exactly the selections on the screen.
        QFETCH(QString, button);
        QFETCH(int, lists);
        QFETCH(QByteArray, write);
        QFETCH(QString, said);
        QFETCH(QString, chosen);

        WindowFixture f;
        qbx::ControlSnapshot shown;
        shown.presenterDelayHalfSeconds = 60;
        for (std::size_t step = 0; step < qbx::kSettingCount; ++step) {
            if (const SettingPlace& place = settingPlaces()[step]; place.hasList() && lists-- > 0) {
                auto* list = f.control<QComboBox>(std::string(place.list).c_str());
                list->setCurrentIndex(list->count() - 1);
                shown.selection[step] = list->count() - 1;
            }
        }
        RecordingPort reference;
        qbx::StoreSettings(reference, shown);
        const std::vector<Call> expected =
            write.isEmpty()
                ? reference.calls
                : std::vector<Call>{{Call::Open, {}}, {Call::Write, write.toStdString()}, {Call::Close, {}}};
        for (int click = 1; click <= 2; ++click) {
            f.port.calls.clear();
            f.clickAndWait(button.toLatin1().constData());
            QCOMPARE(f.port.calls, expected);
            QVERIFY2(f.control<QLabel>("labStatus")->text().startsWith(said), qPrintable(said));
            QCOMPARE(f.control<QLabel>("labChanges")->text(), chosen);
            // The tabs holding changes are marked, and a screen reader says why.
            QCOMPARE(f.tabs()->tabIcon(Characters).isNull() || f.tabs()->tabToolTip(Characters).isEmpty(),
                     write.size() > 0);
        }
    }
};

QTEST_MAIN(TestFrmMain)
#include "testfrmmain.moc"