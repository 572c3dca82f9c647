#include "frames.h"
#include "store.h"
#include "textforms.h"
#include "windowfixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

using namespace qbx::test;
using Call = RecordingPort::Call;

namespace {

const char* const kKey = "TeskQBX7Conf_Comm";
const QString kCaption = QStringLiteral("Tesk QBX740 Configuration Utility");

// The settings rows of pages 1 to 5: label, its text, list, page, row top in twips.
struct Row
{
    const char* label;
    const char* text;
    const char* list;
    int page;
    int top;
};

const Row kRows[] = {
    {"Label1", "Zero Character Style", "cmbZeroStyle", Characters, 600},
    {"Label2", "International Character Set", "cmbIntCharSet", Characters, 960},
    {"Label3", "Code Page", "cmbCodePage", Characters, 1320},
    {"Label4", "Character Spacing", "cmbCharSpacing", Characters, 1680},
    {"Label6", "Line Spacing", "cmbLineSpacing", Characters, 2040},
    {"Label5", "<CR> command function", "cmbCRCode", Characters, 2400},
    {"Label7", "Default Print Speed", "cmbPrintSpeed", Paper, 600},
    {"Label8", "Default Print Density", "cmbPrintDensity", Paper, 960},
    {"Label9", "Printable Width", "cmbPrintWidth", Paper, 1320},
    {"Label10", "Auto Loading", "cmbAutoLoad", Paper, 1680},
    {"Label11", "Near End Sensor", "cmbNESensor", Paper, 2040},
    {"Label17", "Near End Sensor Type", "cmbNEType", Paper, 2400},
    {"Label18", "Near End Sensor Signal Level", "cmbNESigLevel", Paper, 2760},
    {"Label12", "Parallel Interface Paper End Signal", "cmbNESignal", Paper, 3120},
    {"Label13", "Start Potition Detect (Black Mark Sensing)", "cmbStartPosDetect", Tickets, 600},
    {"Label14", "Top Search", "cmbTopSearch", Tickets, 960},
    {"Label15", "Presenter Behaviour", "cmbPresenterBehaviour", Presenter, 600},
    {"Label16", "Presenter Timer", "cmbPresenterDelay", Presenter, 960},
    {"Label21", "ASB Status Checking", "cmbASB", Status, 600},
    {"Label22", "NSB Status Checking", "cmbNSB", Status, 960},
    {"Label19", "Return Presenter Status", "cmbPresStatus", Status, 1320},
};

// The name a focus step is known by: the port panel's parts count as the panel.
QString nameOf(QWidget* widget, const WindowFixture& f)
{
    return f.control("scmOutput")->isAncestorOf(widget) ? QStringLiteral("scmOutput") : widget->objectName();
}

// What a fresh window shows, the first time and on any later run.
void verifyFreshStart(const WindowFixture& f)
{
    for (const Row& row : kRows)
        QCOMPARE(f.control<QComboBox>(row.list)->currentIndex(), 0);
    QCOMPARE(f.tabs()->currentIndex(), 0);
    QVERIFY(f.control("txtPresenterDelay")->isHidden());
    QCOMPARE(f.control<QLineEdit>("txtPresenterDelay")->text(), QStringLiteral("30s"));
    QVERIFY(!f.control<QCheckBox>("chk_AdjustCutPos")->isChecked());
    QVERIFY(!f.control("Picture1")->isEnabled());
    QVERIFY(!f.control("txtCutOffset")->isEnabled());
    QCOMPARE(f.control<QLineEdit>("txtCutOffset")->text(), QString());
    QCOMPARE(f.port.calls, (std::vector<Call>{{Call::Load, kKey}}));
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void startUp();
    void everyControlLooksAsLaidOut();
    void tabbing_data();
    void tabbing();
    void versionRule_data();
    void versionRule();
    void closingSavesOnceAndNextRunStartsClean_data();
    void closingSavesOnceAndNextRunStartsClean();
    void storeSettings_data();
    void storeSettings();
    void selfTestPage();
};

void TestFrmMain::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("page");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text"); // a list's label; null where there is no caption
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");

    const auto add = [](const char* name, int page, QRect twips, const char* text, double points, bool bold) {
        QTest::newRow(name) << QString::fromLatin1(name) << page << twips << QString::fromLatin1(text)
                            << points << bold;
    };
    add("Image1", Main, {180, 480, 2445, 1935}, nullptr, 8.25, false);
    add("labTitle", Main, {2760, 480, 4515, 435}, "Tesk QBX740 Configuration Utility", 13.5, true);
    add("labVersion", Main, {2760, 840, 3915, 195}, nullptr, 8.25, true);
    add("Label20", Main, {2760, 1440, 4515, 495}, "Pre-release/Beta version", 13.5, true);
    add("scmOutput", Main, {180, 2520, 3825, 1560}, nullptr, 8.25, false);
    add("butDownload", Main, {4080, 2520, 3135, 315}, "Store Settings", 9.75, true);
    add("butPrintSelfTest", Main, {4080, 2880, 3135, 315}, "Print Self Test Page", 9.75, true);
    add("butPrintFile", Main, {4080, 3240, 3135, 315}, "Print External Data File", 9.75, true);
    add("butClose", Main, {5580, 4200, 1635, 375}, "Close", 9.75, true);
    for (const Row& row : kRows) {
        add(row.label, row.page, {180, row.top, 4395, 315}, row.text, 9.75, true);
        add(row.list, row.page, {4740, row.top, 2535, 315}, row.text, 8.25, false);
    }
    add("Label27", Tickets, {180, 1380, 4395, 315}, "Cut Position Adjustment", 9.75, true);
    add("Label26", Tickets, {180, 1620, 4395, 855},
        "Adjust the cut position (relative to the black mark) by enableing the 'Adjust Cut Position' "
        "check box and clicking on the diagram or entering a measurement in mm.",
        8.25, false);
    add("chk_AdjustCutPos", Tickets, {2640, 2340, 1935, 255}, "Adjust Cut Position", 8.25, true);
    add("Picture1", Tickets, {5280, 1380, 1950, 1515}, nullptr, 8.25, false);
    add("txtCutOffset", Tickets, {5280, 2940, 1935, 285}, nullptr, 8.25, false);
    add("txtPresenterDelay", Presenter, {4740, 1320, 1035, 315}, nullptr, 8.25, false);
}

void TestFrmMain::controls()
{
    QFETCH(QString, name);
    QFETCH(int, page);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    QFETCH(double, points);
    QFETCH(bool, bold);

    WindowFixture f;
    f.showPage(page);
    QWidget* widget = f.control(name.toLatin1().constData());
    QVERIFY(f.tabs()->widget(page)->isAncestorOf(widget));
    // Relative to SSTab1's corner, tab strip included.
    const QRect inTabs(widget->mapTo(f.tabs(), QPoint(0, 0)), widget->size());
    QTRY_COMPARE(inTabs, QRect(twips.left() / 15, twips.top() / 15, twips.width() / 15, twips.height() / 15));

    if (auto* label = qobject_cast<QLabel*>(widget); label && !text.isNull())
        QCOMPARE(label->text(), text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QCOMPARE(button->text(), text);
    else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        QVERIFY(!list->isEditable());
        QCOMPARE(list->itemText(0), QStringLiteral("No Change"));
        // What a screen reader follows from the list to the text it announces for it.
        QCOMPARE(list->accessibleName(), text);
        const auto labels = QAccessible::queryAccessibleInterface(list)->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.first().first->text(QAccessible::Name), text);
        QCOMPARE(qobject_cast<QLabel*>(labels.first().first->object())->buddy(), list);
    } else
        QVERIFY(text.isNull());

    const QFont font = widget->font();
    QCOMPARE(font.families().value(0), QStringLiteral("MS Sans Serif"));
    QCOMPARE(font.pointSizeF(), points);
    QCOMPARE(font.weight(), bold ? QFont::Bold : QFont::Normal);
    QCOMPARE(font.underline(), name == QLatin1String("Label20"));
    // Where the requested family is missing, a metric-compatible one stands in.
    const QString used = QFontInfo(font).family();
    QVERIFY2(used == QLatin1String("MS Sans Serif") || used == QLatin1String("Liberation Sans"),
             qPrintable(used));
}

void TestFrmMain::startUp()
{
    WindowFixture f;
    verifyFreshStart(f);
    QCOMPARE(f.control<QLabel>("labVersion")->text(), QStringLiteral("Version 1.1"));
    QCOMPARE(f.window->windowTitle(), kCaption);
    QVERIFY(f.control("Label20")->isHidden());
    QCOMPARE(f.window->fileDialog().request().directory, QCoreApplication::applicationDirPath());

    QCOMPARE(f.window->size(), QSize(7440 / 15, 4785 / 15));
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QCOMPARE(f.tabs()->geometry(), QRect(0, 0, 7425 / 15, 4755 / 15));
    QCOMPARE(f.tabs()->font().pointSizeF(), 8.25);
    QCOMPARE(f.tabs()->font().weight(), QFont::Normal);
    const Qt::WindowFlags flags = f.window->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    const QRect screen = f.window->screen()->availableGeometry();
    QTRY_VERIFY(qAbs(f.window->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(f.window->geometry().center().y() - screen.center().y()) <= 1);

    QVERIFY(!f.window->windowIcon().isNull());
    const QImage icon(QStringLiteral(":/qbx7config/icon.bmp"));
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(icon.colorCount(), 256);
    QVERIFY(qBlue(icon.pixel(0, 0)) > 2 * qRed(icon.pixel(0, 0))); // a blue field
    QCOMPARE(icon.pixel(5, 14), qRgb(255, 255, 255));              // the white emblem
    const QImage photo(QStringLiteral(":/qbx7config/product.jpg"));
    QCOMPARE(photo.size(), QSize(300, 225));
    QVERIFY(!photo.isGrayscale());

    QCOMPARE(f.tabs()->tabBar()->tabRect(0).height(), 20); // 5.2 mm, 295 twips, in whole pixels
    QStringList tabs;
    for (int i = 0; i < f.tabs()->count(); ++i)
        tabs << f.tabs()->tabText(i);
    QCOMPARE(tabs, QStringList({"Main", "Characters", "Paper", "Tickets", "Presenter", "Status"}));
}

void TestFrmMain::everyControlLooksAsLaidOut()
{
    // Colours, alignment and tooltips where the layout puts them and nowhere else; no clipped
    // text and no access keys on any page.
    WindowFixture f;
    const QColor standard = QLabel().palette().color(QPalette::WindowText);
    const QHash<QString, QColor> colours{
        {"labTitle", QColor(0, 0, 255)}, {"labVersion", QColor(255, 0, 0)}, {"Label20", QColor(255, 0, 255)}};
    const QHash<QString, Qt::Alignment> mainPageAlignment{
        {"labTitle", Qt::AlignLeft}, {"labVersion", Qt::AlignLeft}, {"Label20", Qt::AlignHCenter}};
    const QHash<QString, QString> toolTips{
        {"cmbASB", "Enable ASB (Auto Status Back)"},
        {"cmbNSB", "Enable/Disable NSB statuc checking"},
        {"txtPresenterDelay", "Enter the presenter delay in seconds"},
    };
    QVERIFY(f.control<QLabel>("Label26")->wordWrap());
    for (QWidget* widget : f.window->findChildren<QWidget*>())
        if (nameOf(widget, f) != QLatin1String("scmOutput"))
            QCOMPARE(widget->toolTip(), toolTips.value(widget->objectName()));
    for (int page = 0; page < f.tabs()->count(); ++page) {
        f.showPage(page);
        for (QWidget* widget : f.tabs()->widget(page)->findChildren<QWidget*>()) {
            const QString name = nameOf(widget, f);
            if (name == QLatin1String("scmOutput"))
                continue;
            if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
                QCOMPARE(label->palette().color(label->foregroundRole()), colours.value(name, standard));
                const Qt::Alignment alignment = page == Main ? mainPageAlignment.value(name) : Qt::AlignRight;
                QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, alignment);
                const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                                    : label->fontMetrics().horizontalAdvance(label->text()) <=
                                                          label->width();
                QVERIFY2(fits && label->fontMetrics().height() <= label->height(), qPrintable(name));
            } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(name));
                QVERIFY2(button->fontMetrics().height() <= button->height(), qPrintable(name));
                QVERIFY2(!button->text().contains(u'&'), qPrintable(name));
            } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
                QVERIFY2(list->fontMetrics().height() <= list->height(), qPrintable(name));
            }
        }
        QVERIFY(!f.tabs()->tabText(page).contains(u'&'));
    }
}

void TestFrmMain::tabbing_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("adjusterOn");
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QString>("visits");

    const auto add = [](const char* row, int page, bool adjusterOn, bool custom, const char* visits) {
        QTest::newRow(row) << page << adjusterOn << custom << QString::fromLatin1(visits);
    };
    add("main page, port panel after the buttons", Main, false, false,
        "butDownload butPrintSelfTest butPrintFile butClose scmOutput");
    add("characters, CR function before line spacing", Characters, false, false,
        "cmbZeroStyle cmbIntCharSet cmbCodePage cmbCharSpacing cmbCRCode cmbLineSpacing");
    add("paper, paper end signal before sensor type and level", Paper, false, false,
        "cmbPrintSpeed cmbPrintDensity cmbPrintWidth cmbAutoLoad cmbNESensor cmbNESignal cmbNEType "
        "cmbNESigLevel");
    add("tickets, adjuster off skips the box and the diagram", Tickets, false, false,
        "cmbStartPosDetect cmbTopSearch chk_AdjustCutPos");
    add("tickets, adjuster on", Tickets, true, false,
        "cmbStartPosDetect cmbTopSearch chk_AdjustCutPos txtCutOffset Picture1");
    add("presenter, hidden custom box skipped", Presenter, false, false,
        "cmbPresenterBehaviour cmbPresenterDelay");
    add("presenter, custom box shown", Presenter, false, true,
        "cmbPresenterBehaviour cmbPresenterDelay txtPresenterDelay");
    add("status", Status, false, false, "cmbASB cmbNSB cmbPresStatus");
}

void TestFrmMain::tabbing()
{
    QFETCH(int, page);
    QFETCH(bool, adjusterOn);
    QFETCH(bool, custom);
    QFETCH(QString, visits);

    WindowFixture f;
    if (adjusterOn)
        f.control<QCheckBox>("chk_AdjustCutPos")->click();
    if (custom) {
        auto* delay = f.control<QComboBox>("cmbPresenterDelay");
        delay->setCurrentIndex(delay->count() - 1);
    }
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
    QCOMPARE(visited, visits.split(u' '));
}

void TestFrmMain::versionRule_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("line");

    QTest::newRow("no revision part for 0") << 1 << 1 << 0 << "Version 1.1";
    QTest::newRow("revision shown above 0") << 1 << 1 << 3 << "Version 1.1 revision 3";
    QTest::newRow("no leading zeros") << 2 << 10 << 0 << "Version 2.10";
}

void TestFrmMain::versionRule()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, line);
    QCOMPARE(QString::fromStdString(qbx::versionLine(major, minor, revision)), line);
}

void TestFrmMain::closingSavesOnceAndNextRunStartsClean_data()
{
    QTest::addColumn<bool>("fromTitleBar");
    QTest::newRow("Close button") << false;
    QTest::newRow("title bar") << true;
}

void TestFrmMain::closingSavesOnceAndNextRunStartsClean()
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
            // What the window system sends when the title bar's close is used.
            QCloseEvent close;
            QCoreApplication::sendEvent(first.window->windowHandle(), &close);
        } else {
            QTest::mouseClick(first.control("butClose"), Qt::LeftButton);
        }
        QTRY_VERIFY(!first.window->isVisible());
        first.window->close();
        QCOMPARE(first.port.calls, (std::vector<Call>{{Call::Save, kKey}}));
    }
    WindowFixture second;
    verifyFreshStart(second);
}

void TestFrmMain::storeSettings_data()
{
    QTest::addColumn<QStringList>("lists"); // moved to their last entries

    QTest::newRow("nothing chosen") << QStringList{};
    QTest::newRow("code page field and status checking, the rest unchanged")
        << QStringList{"cmbASB", "cmbCodePage"};
    QStringList every;
    for (const Row& row : kRows)
        every << QString::fromLatin1(row.list);
    QTest::newRow("every list") << every;
}

void TestFrmMain::storeSettings()
{
    // The window hands the Store operation exactly the selections on the screen, on every click.
    QFETCH(QStringList, lists);

    WindowFixture f;
    qbx::ControlSnapshot expected;
    for (const QString& name : lists) {
        auto* list = f.control<QComboBox>(name.toLatin1().constData());
        list->setCurrentIndex(list->count() - 1);
        expected[name.toStdString()] = list->count() - 1;
    }
    expected.presenterDelayText = "30s";
    RecordingPort reference;
    qbx::StoreSettings(reference, expected);
    f.port.calls.clear();
    QTest::mouseClick(f.control("butDownload"), Qt::LeftButton);
    QCOMPARE(f.port.calls, reference.calls);
    QTest::mouseClick(f.control("butDownload"), Qt::LeftButton);
    QCOMPARE(f.port.calls.size(), 2 * reference.calls.size());
}

void TestFrmMain::selfTestPage()
{
    WindowFixture f;
    f.port.calls.clear();
    QTest::mouseClick(f.control("butPrintSelfTest"), Qt::LeftButton);
    QCOMPARE(f.port.calls,
             (std::vector<Call>{
                 {Call::Open, {}}, {Call::Write, std::string("\x1B\x3F\x0A\x00", 4)}, {Call::Close, {}}}));
}

QTEST_MAIN(TestFrmMain)
#include "testfrmmain.moc"
