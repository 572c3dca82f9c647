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
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QWindow>

using qbx::test::RecordingPort;
using qbx::test::WindowFixture;
using Call = RecordingPort::Call;

namespace {

const char* const kKey = "TeskQBX7Conf_Comm";

enum Page
{
    Main,
    Characters,
    Paper,
    Tickets,
    Presenter,
    Status
};

// The settings rows of pages 1 to 5: label, list, page, row top in twips.
struct Row
{
    const char* label;
    const char* list;
    int page;
    int top;
};

const Row kRows[] = {
    {"Label1", "cmbZeroStyle", Characters, 600},
    {"Label2", "cmbIntCharSet", Characters, 960},
    {"Label3", "cmbCodePage", Characters, 1320},
    {"Label4", "cmbCharSpacing", Characters, 1680},
    {"Label6", "cmbLineSpacing", Characters, 2040},
    {"Label5", "cmbCRCode", Characters, 2400},
    {"Label7", "cmbPrintSpeed", Paper, 600},
    {"Label8", "cmbPrintDensity", Paper, 960},
    {"Label9", "cmbPrintWidth", Paper, 1320},
    {"Label10", "cmbAutoLoad", Paper, 1680},
    {"Label11", "cmbNESensor", Paper, 2040},
    {"Label17", "cmbNEType", Paper, 2400},
    {"Label18", "cmbNESigLevel", Paper, 2760},
    {"Label12", "cmbNESignal", Paper, 3120},
    {"Label13", "cmbStartPosDetect", Tickets, 600},
    {"Label14", "cmbTopSearch", Tickets, 960},
    {"Label15", "cmbPresenterBehaviour", Presenter, 600},
    {"Label16", "cmbPresenterDelay", Presenter, 960},
    {"Label21", "cmbASB", Status, 600},
    {"Label22", "cmbNSB", Status, 960},
    {"Label19", "cmbPresStatus", Status, 1320},
};

QString nameOf(QWidget* widget, QWidget* panel)
{
    if (panel->isAncestorOf(widget))
        return QStringLiteral("scmOutput");
    if (auto* bar = qobject_cast<QTabBar*>(widget))
        return bar->parentWidget()->objectName();
    return widget->objectName();
}

bool insidePanel(const QWidget* widget, const WindowFixture& f)
{
    return f.control("scmOutput")->isAncestorOf(widget);
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void geometry_data();
    void geometry();
    void window();
    void texts_data();
    void texts();
    void fonts_data();
    void fonts();
    void textsFitTheirBoxes();
    void colours();
    void alignment();
    void toolTips();
    void noAccessKeys();
    void listsAreLabelledAndPickOnly();
    void focusChain();
    void tabbing_data();
    void tabbing();
    void startUp();
    void versionRule_data();
    void versionRule();
    void closing_data();
    void closing();
    void secondRunStartsClean();
    void storeSettings_data();
    void storeSettings();
    void storeSettingsEveryList();
    void selfTestPage();
};

void TestFrmMain::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("page");
    QTest::addColumn<QRect>("twips");

    const auto add = [](const char* name, int page, int left, int top, int width, int height) {
        QTest::newRow(name) << QString::fromLatin1(name) << page << QRect(left, top, width, height);
    };
    add("Image1", Main, 180, 480, 2445, 1935);
    add("labTitle", Main, 2760, 480, 4515, 435);
    add("labVersion", Main, 2760, 840, 3915, 195);
    add("Label20", Main, 2760, 1440, 4515, 495);
    add("scmOutput", Main, 180, 2520, 3825, 1560);
    add("butDownload", Main, 4080, 2520, 3135, 315);
    add("butPrintSelfTest", Main, 4080, 2880, 3135, 315);
    add("butPrintFile", Main, 4080, 3240, 3135, 315);
    add("butClose", Main, 5580, 4200, 1635, 375);
    for (const Row& row : kRows) {
        add(row.label, row.page, 180, row.top, 4395, 315);
        add(row.list, row.page, 4740, row.top, 2535, 315);
    }
    add("Label27", Tickets, 180, 1380, 4395, 315);
    add("Label26", Tickets, 180, 1620, 4395, 855);
    add("chk_AdjustCutPos", Tickets, 2640, 2340, 1935, 255);
    add("Picture1", Tickets, 5280, 1380, 1950, 1515);
    add("txtCutOffset", Tickets, 5280, 2940, 1935, 285);
    add("txtPresenterDelay", Presenter, 4740, 1320, 1035, 315);
}

void TestFrmMain::geometry()
{
    QFETCH(QString, name);
    QFETCH(int, page);
    QFETCH(QRect, twips);

    WindowFixture f;
    f.showPage(page);
    const QRect pixels(twips.left() / 15, twips.top() / 15, twips.width() / 15, twips.height() / 15);
    QWidget* widget = f.control(name.toLatin1().constData());
    QTRY_COMPARE(f.rectInTabs(widget), pixels);
    QVERIFY(f.tabs()->widget(page)->isAncestorOf(widget));
}

void TestFrmMain::window()
{
    WindowFixture f;
    QCOMPARE(f.window->size(), QSize(7440 / 15, 4785 / 15));
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QCOMPARE(f.tabs()->geometry(), QRect(0, 0, 7425 / 15, 4755 / 15));
    const Qt::WindowFlags flags = f.window->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    const QImage icon(QStringLiteral(":/qbx7config/icon.bmp"));
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(icon.colorCount(), 256);
    QVERIFY(!f.window->windowIcon().isNull());
    QVERIFY(qBlue(icon.pixel(0, 0)) > 2 * qRed(icon.pixel(0, 0))); // a blue field
    QCOMPARE(icon.pixel(5, 14), qRgb(255, 255, 255));              // the white emblem
    const QImage photo(QStringLiteral(":/qbx7config/product.jpg"));
    QCOMPARE(photo.size(), QSize(300, 225));
    QVERIFY(!photo.isGrayscale());
    const QRect screen = f.window->screen()->availableGeometry();
    QTRY_VERIFY(qAbs(f.window->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(f.window->geometry().center().y() - screen.center().y()) <= 1);

    // 5.2 mm, 295 twips, rounded to whole pixels.
    QCOMPARE(f.tabs()->tabBar()->tabRect(0).height(), 20);
    QStringList captions;
    for (int i = 0; i < f.tabs()->count(); ++i)
        captions << f.tabs()->tabText(i);
    QCOMPARE(captions, QStringList({"Main", "Characters", "Paper", "Tickets", "Presenter", "Status"}));
}

void TestFrmMain::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const auto add = [](const char* name, const char* text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(text);
    };
    add("labTitle", "Tesk QBX740 Configuration Utility");
    add("Label20", "Pre-release/Beta version");
    add("butDownload", "Store Settings");
    add("butPrintSelfTest", "Print Self Test Page");
    add("butPrintFile", "Print External Data File");
    add("butClose", "Close");
    add("Label1", "Zero Character Style");
    add("Label2", "International Character Set");
    add("Label3", "Code Page");
    add("Label4", "Character Spacing");
    add("Label6", "Line Spacing");
    add("Label5", "<CR> command function");
    add("Label7", "Default Print Speed");
    add("Label8", "Default Print Density");
    add("Label9", "Printable Width");
    add("Label10", "Auto Loading");
    add("Label11", "Near End Sensor");
    add("Label17", "Near End Sensor Type");
    add("Label18", "Near End Sensor Signal Level");
    add("Label12", "Parallel Interface Paper End Signal");
    add("Label13", "Start Potition Detect (Black Mark Sensing)");
    add("Label14", "Top Search");
    add("Label27", "Cut Position Adjustment");
    add("Label26",
        "Adjust the cut position (relative to the black mark) by enableing the 'Adjust Cut Position' "
        "check box and clicking on the diagram or entering a measurement in mm.");
    add("chk_AdjustCutPos", "Adjust Cut Position");
    add("Label15", "Presenter Behaviour");
    add("Label16", "Presenter Timer");
    add("Label21", "ASB Status Checking");
    add("Label22", "NSB Status Checking");
    add("Label19", "Return Presenter Status");
}

void TestFrmMain::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    WindowFixture f;
    QWidget* widget = f.control(name.toLatin1().constData());
    if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QCOMPARE(button->text(), text);
    else
        QFAIL("not a control with a caption");
}

void TestFrmMain::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("underline");

    const auto add = [](const char* name, double points, bool bold, bool underline) {
        QTest::newRow(name) << QString::fromLatin1(name) << points << bold << underline;
    };
    add("labTitle", 13.5, true, false);
    add("Label20", 13.5, true, true);
    add("labVersion", 8.25, true, false);
    add("chk_AdjustCutPos", 8.25, true, false);
    add("Label26", 8.25, false, false);
    add("Label27", 9.75, true, false);
    add("butDownload", 9.75, true, false);
    add("butPrintSelfTest", 9.75, true, false);
    add("butPrintFile", 9.75, true, false);
    add("butClose", 9.75, true, false);
    add("txtCutOffset", 8.25, false, false);
    add("txtPresenterDelay", 8.25, false, false);
    add("SSTab1", 8.25, false, false);
    for (const Row& row : kRows) {
        add(row.label, 9.75, true, false);
        add(row.list, 8.25, false, false);
    }
}

void TestFrmMain::fonts()
{
    QFETCH(QString, name);
    QFETCH(double, points);
    QFETCH(bool, bold);
    QFETCH(bool, underline);

    WindowFixture f;
    const QFont font = f.control(name.toLatin1().constData())->font();
    QCOMPARE(font.families().value(0), QStringLiteral("MS Sans Serif"));
    QCOMPARE(font.pointSizeF(), points);
    QCOMPARE(font.weight(), bold ? QFont::Bold : QFont::Normal);
    QCOMPARE(font.underline(), underline);
    // Where the requested family is missing, a metric-compatible one stands in.
    const QString used = QFontInfo(font).family();
    QVERIFY2(used == QLatin1String("MS Sans Serif") || used == QLatin1String("Liberation Sans"),
             qPrintable(used));
}

void TestFrmMain::textsFitTheirBoxes()
{
    WindowFixture f;
    for (int page = 0; page < f.tabs()->count(); ++page) {
        f.showPage(page);
        for (QLabel* label : f.tabs()->widget(page)->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || insidePanel(label, f))
                continue;
            const QFontMetrics metrics = label->fontMetrics();
            if (label->wordWrap()) {
                QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                         qPrintable(label->objectName()));
            } else {
                QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(),
                         qPrintable(label->objectName()));
                QVERIFY2(metrics.height() <= label->height(), qPrintable(label->objectName()));
            }
        }
        for (QAbstractButton* button : f.tabs()->widget(page)->findChildren<QAbstractButton*>()) {
            if (insidePanel(button, f))
                continue;
            QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->objectName()));
            QVERIFY2(button->fontMetrics().height() <= button->height(), qPrintable(button->objectName()));
        }
        for (QComboBox* list : f.tabs()->widget(page)->findChildren<QComboBox*>()) {
            if (insidePanel(list, f))
                continue;
            QVERIFY2(list->fontMetrics().height() <= list->height(), qPrintable(list->objectName()));
        }
    }
}

void TestFrmMain::colours()
{
    WindowFixture f;
    const QColor standard = QLabel().palette().color(QPalette::WindowText);
    const QHash<QString, QColor> coloured{
        {"labTitle", QColor(0, 0, 255)},
        {"labVersion", QColor(255, 0, 0)},
        {"Label20", QColor(255, 0, 255)},
    };
    for (QLabel* label : f.window->findChildren<QLabel*>()) {
        if (label->objectName().isEmpty() || insidePanel(label, f))
            continue;
        QCOMPARE(label->palette().color(label->foregroundRole()),
                 coloured.value(label->objectName(), standard));
    }
}

void TestFrmMain::alignment()
{
    WindowFixture f;
    QCOMPARE(f.control<QLabel>("labTitle")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(f.control<QLabel>("labVersion")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(f.control<QLabel>("Label20")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    for (int page = Characters; page <= Status; ++page)
        for (QLabel* label : f.tabs()->widget(page)->findChildren<QLabel*>())
            QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QVERIFY(f.control<QLabel>("Label26")->wordWrap());
}

void TestFrmMain::toolTips()
{
    WindowFixture f;
    const QHash<QString, QString> expected{
        {"cmbASB", "Enable ASB (Auto Status Back)"},
        {"cmbNSB", "Enable/Disable NSB statuc checking"},
        {"txtPresenterDelay", "Enter the presenter delay in seconds"},
    };
    for (QWidget* widget : f.window->findChildren<QWidget*>()) {
        if (insidePanel(widget, f))
            continue;
        QCOMPARE(widget->toolTip(), expected.value(widget->objectName()));
    }
}

void TestFrmMain::noAccessKeys()
{
    WindowFixture f;
    for (QAbstractButton* button : f.window->findChildren<QAbstractButton*>())
        if (!insidePanel(button, f))
            QVERIFY2(!button->text().contains(u'&'), qPrintable(button->text()));
    for (int i = 0; i < f.tabs()->count(); ++i)
        QVERIFY(!f.tabs()->tabText(i).contains(u'&'));
}

void TestFrmMain::listsAreLabelledAndPickOnly()
{
    WindowFixture f;
    for (const Row& row : kRows) {
        auto* label = f.control<QLabel>(row.label);
        auto* list = f.control<QComboBox>(row.list);
        QCOMPARE(label->buddy(), list);
        QVERIFY(!list->isEditable());
        QCOMPARE(list->itemText(0), QStringLiteral("No Change"));
        QCOMPARE(list->accessibleName(), label->text());
        // What a screen reader follows from the list to the text it announces for it.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(list);
        QVERIFY(accessible);
        QStringList labelledBy;
        for (const auto& relation : accessible->relations(QAccessible::Label))
            labelledBy << relation.first->text(QAccessible::Name);
        QCOMPARE(labelledBy, QStringList{label->text()});
    }
}

void TestFrmMain::focusChain()
{
    // The whole order, across pages, as the focus chain stores it.
    WindowFixture f;
    QWidget* panel = f.control("scmOutput");
    QWidget* start = f.tabs()->focusProxy();
    const QStringList expected{
        "SSTab1",
        "butDownload",
        "butPrintSelfTest",
        "butPrintFile",
        "butClose",
        "scmOutput",
        "cmbZeroStyle",
        "cmbIntCharSet",
        "cmbCodePage",
        "cmbCharSpacing",
        "cmbCRCode",
        "cmbLineSpacing",
        "cmbPrintSpeed",
        "cmbPrintDensity",
        "cmbPrintWidth",
        "cmbAutoLoad",
        "cmbNESensor",
        "cmbNESignal",
        "cmbStartPosDetect",
        "cmbTopSearch",
        "chk_AdjustCutPos",
        "txtCutOffset",
        "Picture1",
        "cmbPresenterBehaviour",
        "cmbPresenterDelay",
        "txtPresenterDelay",
        "cmbNEType",
        "cmbNESigLevel",
        "cmbASB",
        "cmbNSB",
        "cmbPresStatus",
    };
    QStringList visited;
    QWidget* w = start;
    do {
        const QString name = nameOf(w, panel);
        const bool takesFocus = (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy();
        if (expected.contains(name) && takesFocus && (visited.isEmpty() || visited.last() != name))
            visited << name;
        w = w->nextInFocusChain();
    } while (w != start);
    QCOMPARE(visited, expected);
}

void TestFrmMain::tabbing_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("adjusterOn");
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QStringList>("visits");

    QTest::newRow("main page, port panel after the buttons")
        << int(Main) << false << false
        << QStringList{"butDownload", "butPrintSelfTest", "butPrintFile", "butClose", "scmOutput"};
    QTest::newRow("characters, CR function before line spacing")
        << int(Characters) << false << false
        << QStringList{"cmbZeroStyle",   "cmbIntCharSet", "cmbCodePage",
                       "cmbCharSpacing", "cmbCRCode",     "cmbLineSpacing"};
    QTest::newRow("paper, paper end signal before sensor type and level")
        << int(Paper) << false << false
        << QStringList{"cmbPrintSpeed", "cmbPrintDensity", "cmbPrintWidth", "cmbAutoLoad",
                       "cmbNESensor",   "cmbNESignal",     "cmbNEType",     "cmbNESigLevel"};
    QTest::newRow("tickets, adjuster off skips the box and the diagram")
        << int(Tickets) << false << false
        << QStringList{"cmbStartPosDetect", "cmbTopSearch", "chk_AdjustCutPos"};
    QTest::newRow("tickets, adjuster on")
        << int(Tickets) << true << false
        << QStringList{"cmbStartPosDetect", "cmbTopSearch", "chk_AdjustCutPos", "txtCutOffset", "Picture1"};
    QTest::newRow("presenter, hidden custom box skipped")
        << int(Presenter) << false << false << QStringList{"cmbPresenterBehaviour", "cmbPresenterDelay"};
    QTest::newRow("presenter, custom box shown")
        << int(Presenter) << false << true
        << QStringList{"cmbPresenterBehaviour", "cmbPresenterDelay", "txtPresenterDelay"};
    QTest::newRow("status") << int(Status) << false << false
                            << QStringList{"cmbASB", "cmbNSB", "cmbPresStatus"};
}

void TestFrmMain::tabbing()
{
    QFETCH(int, page);
    QFETCH(bool, adjusterOn);
    QFETCH(bool, custom);
    QFETCH(QStringList, visits);

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

    QWidget* panel = f.control("scmOutput");
    QStringList visited;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (now == f.tabs()->focusProxy())
            break;
        const QString name = nameOf(now, panel);
        if (visited.isEmpty() || visited.last() != name)
            visited << name;
    }
    QCOMPARE(visited, visits);
}

void TestFrmMain::startUp()
{
    WindowFixture f;
    for (const Row& row : kRows)
        QCOMPARE(f.control<QComboBox>(row.list)->currentIndex(), 0);
    QCOMPARE(f.tabs()->currentIndex(), 0);
    QCOMPARE(f.control<QLabel>("labVersion")->text(), QStringLiteral("Version 1.1"));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Tesk QBX740 Configuration Utility"));
    QCOMPARE(f.control<QLabel>("labTitle")->text(), QStringLiteral("Tesk QBX740 Configuration Utility"));
    QVERIFY(f.control("Label20")->isHidden());
    QVERIFY(f.control("txtPresenterDelay")->isHidden());
    QCOMPARE(f.control<QLineEdit>("txtPresenterDelay")->text(), QStringLiteral("30s"));
    QVERIFY(!f.control<QCheckBox>("chk_AdjustCutPos")->isChecked());
    QVERIFY(!f.control("Picture1")->isEnabled());
    QVERIFY(!f.control("txtCutOffset")->isEnabled());
    QCOMPARE(f.control<QLineEdit>("txtCutOffset")->text(), QString());
    QCOMPARE(f.window->fileDialog().request().directory, QCoreApplication::applicationDirPath());
    QCOMPARE(f.port.calls, (std::vector<Call>{{Call::Load, kKey}}));
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

void TestFrmMain::closing_data()
{
    QTest::addColumn<bool>("fromTitleBar");
    QTest::newRow("Close button") << false;
    QTest::newRow("title bar") << true;
}

void TestFrmMain::closing()
{
    QFETCH(bool, fromTitleBar);

    WindowFixture f;
    if (fromTitleBar) {
        // What the window system sends when the title bar's close is used.
        QCloseEvent close;
        QCoreApplication::sendEvent(f.window->windowHandle(), &close);
    } else {
        QTest::mouseClick(f.control("butClose"), Qt::LeftButton);
    }
    QTRY_VERIFY(!f.window->isVisible());
    f.window->close();
    QCOMPARE(f.port.calls, (std::vector<Call>{{Call::Load, kKey}, {Call::Save, kKey}}));
}

void TestFrmMain::secondRunStartsClean()
{
    {
        WindowFixture first;
        first.control<QComboBox>("cmbCodePage")->setCurrentIndex(5);
        auto* delay = first.control<QComboBox>("cmbPresenterDelay");
        delay->setCurrentIndex(delay->count() - 1);
        first.control<QLineEdit>("txtPresenterDelay")->setText(QStringLiteral("12s"));
        QTest::mouseClick(first.control("butDownload"), Qt::LeftButton);
        first.window->close();
    }
    WindowFixture second;
    for (const Row& row : kRows)
        QCOMPARE(second.control<QComboBox>(row.list)->currentIndex(), 0);
    QVERIFY(second.control("txtPresenterDelay")->isHidden());
    QCOMPARE(second.control<QLineEdit>("txtPresenterDelay")->text(), QStringLiteral("30s"));
}

void TestFrmMain::storeSettings_data()
{
    QTest::addColumn<QStringList>("lists");
    QTest::addColumn<QList<int>>("entries");
    QTest::addColumn<QList<QByteArray>>("frames");

    using qbx::clearFrame;
    using qbx::setFrame;
    const auto bytes = [](const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); };
    const QByteArray store = bytes(qbx::storeFrame());

    QTest::newRow("nothing chosen sends only the store frame")
        << QStringList{} << QList<int>{} << QList<QByteArray>{store};
    QTest::newRow("one bit cleared") << QStringList{"cmbZeroStyle"} << QList<int>{1}
                                     << QList<QByteArray>{bytes(clearFrame("1", "0010")), store};
    QTest::newRow("one bit set") << QStringList{"cmbZeroStyle"} << QList<int>{2}
                                 << QList<QByteArray>{bytes(setFrame("1", "0010")), store};
    QTest::newRow("code page field, then status in catalogue order")
        << QStringList{"cmbASB", "cmbCodePage"} << QList<int>{1, 2}
        << QList<QByteArray>{bytes(clearFrame("3", "FF00")), bytes(setFrame("3", "0100")),
                             bytes(clearFrame("7", "1000")), store};
}

void TestFrmMain::storeSettings()
{
    QFETCH(QStringList, lists);
    QFETCH(QList<int>, entries);
    QFETCH(QList<QByteArray>, frames);

    WindowFixture f;
    for (qsizetype i = 0; i < lists.size(); ++i)
        f.control<QComboBox>(lists.at(i).toLatin1().constData())->setCurrentIndex(entries.at(i));
    f.port.calls.clear();
    QTest::mouseClick(f.control("butDownload"), Qt::LeftButton);

    QCOMPARE(f.port.calls.front().kind, Call::Open);
    QCOMPARE(f.port.calls.back().kind, Call::Close);
    QList<QByteArray> written;
    for (const std::string& w : f.port.writes())
        written << QByteArray(w.data(), qsizetype(w.size()));
    QCOMPARE(written, frames);
}

void TestFrmMain::storeSettingsEveryList()
{
    // Every list moved to its last entry: the window hands the Store operation exactly the
    // selections on the screen.
    WindowFixture f;
    qbx::ControlSnapshot expected;
    for (const Row& row : kRows) {
        auto* list = f.control<QComboBox>(row.list);
        list->setCurrentIndex(list->count() - 1);
        expected[row.list] = list->count() - 1;
    }
    expected.presenterDelayText = "30s";
    expected.cutOffsetText = "";
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
