#include "cutpositiondiagram.h"
#include "store.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabBar>

#include <clocale>

using qbx::test::RecordingPort;
using qbx::test::WindowFixture;
using qbx::ui::CutPositionDiagram;
using qbx::ui::DiagramLine;

namespace {

constexpr int kTickets = 3;

// One thing done with the mouse on the diagram, at a pixel row of it (outside it too).
struct MouseStep
{
    enum Kind
    {
        Press,
        Move,
        Release
    } kind;
    int row;
};

// A pointer at pixel row p is at y = p * 55 / 101 in the diagram's units.
float unitsAt(int row)
{
    return static_cast<float>(row) * 55.0f / 101.0f;
}

struct Adjuster
{
    WindowFixture f;
    QCheckBox* check = f.control<QCheckBox>("chk_AdjustCutPos");
    CutPositionDiagram* diagram = f.control<CutPositionDiagram>("Picture1");
    QLineEdit* text = f.control<QLineEdit>("txtCutOffset");
    DiagramLine* line = f.control<DiagramLine>("Line1");

    Adjuster()
    {
        f.showPage(kTickets);
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    }

    void type(const QString& typed)
    {
        text->setFocus(Qt::MouseFocusReason);
        text->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(text, Qt::Key_Delete);
        else
            QTest::keyClicks(text, typed);
    }

    // The user clicks on the tab strip's "Main" tab, which takes the focus away from the box.
    void clickTab(int index) const
    {
        QTabBar* bar = f.tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    void mouse(const MouseStep& step) const
    {
        const QPoint at(diagram->width() / 2, step.row);
        switch (step.kind) {
        case MouseStep::Press:
            QTest::mousePress(diagram, Qt::LeftButton, {}, at);
            break;
        case MouseStep::Move:
            QTest::mouseMove(diagram, at);
            break;
        case MouseStep::Release:
            QTest::mouseRelease(diagram, Qt::LeftButton, {}, at);
            break;
        }
    }
};

} // namespace

Q_DECLARE_METATYPE(QList<MouseStep>)

class TestCutPositionAdjuster : public QObject
{
    Q_OBJECT

private slots:
    void startsOffAndGrey();
    void typed_data();
    void typed();
    void typedUnderGermanLocale();
    void mouse_data();
    void mouse();
    void disabledDiagramTakesNoInput();
    void checkBoxKeepsTextAndLine();
    void validatedBeforeTheNextControlActs();
    void typingThenStoreSettingsSendsNormalisedValue();
};

void TestCutPositionAdjuster::startsOffAndGrey()
{
    WindowFixture f;
    f.showPage(kTickets);
    auto* line = f.control<DiagramLine>("Line1");
    QCOMPARE(line->colour(), QColor(128, 128, 128));
    QCOMPARE(line->position(), 20.5f);
    QVERIFY(!f.control("Picture1")->isEnabled());
    QVERIFY(!f.control("txtCutOffset")->isEnabled());
    QCOMPARE(f.control<CutPositionDiagram>("Picture1")->size(), QSize(130, 101));
    // Drawn across the full width, through the black mark (pixel rows 36 to 40).
    QCOMPARE(line->geometry(), QRect(0, 38, 130, 1));
}

void TestCutPositionAdjuster::typed_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("lineY");

    QTest::newRow("12.6 rounds down") << "12.6"
                                      << " 12.5mm" << 33.0f;
    QTest::newRow("12.63 rounds up") << "12.63"
                                     << " 12.75mm" << 33.25f;
    QTest::newRow("below the range") << "-15"
                                     << "-10mm" << 10.5f;
    QTest::newRow("above the range") << "40"
                                     << " 31.75mm" << 52.25f;
    QTest::newRow("31.6") << "31.6"
                          << " 31.5mm" << 52.0f;
    QTest::newRow("31.7") << "31.7"
                          << " 31.75mm" << 52.25f;
    QTest::newRow("tie 0.125 to even") << "0.125"
                                       << " 0mm" << 20.5f;
    QTest::newRow("tie 0.375 to even") << "0.375"
                                       << " 0.5mm" << 21.0f;
    QTest::newRow("tie 2.625 to even") << "2.625"
                                       << " 2.5mm" << 23.0f;
    QTest::newRow("tie 2.875 to even") << "2.875"
                                       << " 3mm" << 23.5f;
    QTest::newRow("blanks and unit") << " 12.5 mm"
                                     << " 12.5mm" << 33.0f;
    QTest::newRow("negative quarter") << "-9.75"
                                      << "-9.75mm" << 10.75f;
    QTest::newRow("empty") << ""
                           << " 0mm" << 20.5f;
    QTest::newRow("letters") << "abc"
                             << " 0mm" << 20.5f;
    QTest::newRow("comma is no decimal point") << "1,5"
                                               << " 1mm" << 21.5f;
    QTest::newRow("huge") << "1e30"
                          << " 31.75mm" << 52.25f;
    QTest::newRow("huge negative") << "-1e30"
                                   << "-10mm" << 10.5f;
    QTest::newRow("beyond the quarter count") << "99999999"
                                              << " 31.75mm" << 52.25f;
    QTest::newRow("a thousand digits") << QString(1000, u'9') << " 31.75mm" << 52.25f;
    QTest::newRow("beyond double precision") << "-1e99999"
                                             << "-10mm" << 10.5f;
    QTest::newRow("exponent with D") << "1.25D1"
                                     << " 12.5mm" << 33.0f;
}

void TestCutPositionAdjuster::typed()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(float, lineY);

    Adjuster a;
    a.type(typed);
    QTest::keyClick(a.text, Qt::Key_Tab); // the focus leaves the box
    QTRY_COMPARE(a.text->text(), text);
    QCOMPARE(a.line->position(), lineY);
    QCOMPARE(a.line->colour(), QColor(255, 0, 0));
}

void TestCutPositionAdjuster::typedUnderGermanLocale()
{
    const QLocale before;
    const std::string cBefore = std::setlocale(LC_ALL, nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        QSKIP("the de_DE.UTF-8 locale is not installed");
    {
        Adjuster a;
        a.type(QStringLiteral("12.63"));
        QTest::keyClick(a.text, Qt::Key_Tab);
        QTRY_COMPARE(a.text->text(), QStringLiteral(" 12.75mm"));
        a.type(QStringLiteral("-0.25"));
        QTest::keyClick(a.text, Qt::Key_Tab);
        QTRY_COMPARE(a.text->text(), QStringLiteral("-0.25mm"));
    }
    std::setlocale(LC_ALL, cBefore.c_str());
    QLocale::setDefault(before);
}

void TestCutPositionAdjuster::mouse_data()
{
    using S = MouseStep;
    QTest::addColumn<QList<MouseStep>>("steps");
    QTest::addColumn<float>("lineAfterPress");
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("lineY");

    // Row 55 is y = 29.95 (offset 9.45, on the grid 9.5); row 80 is y = 43.56.
    QTest::newRow("press and release in the band")
        << QList<S>{{S::Press, 55}, {S::Release, 55}} << unitsAt(55) << " 9.5mm" << 30.0f;
    QTest::newRow("press above the band ignored, release there sets the minimum")
        << QList<S>{{S::Press, 9}, {S::Release, 9}} << 20.5f << "-10mm" << 10.5f;
    QTest::newRow("press below the band ignored, release there sets the maximum")
        << QList<S>{{S::Press, 99}, {S::Release, 99}} << 20.5f << " 31.75mm" << 52.25f;
    QTest::newRow("drag inside the band follows the pointer")
        << QList<S>{{S::Press, 55}, {S::Move, 80}, {S::Release, 80}} << unitsAt(55) << " 23mm" << 43.5f;
    QTest::newRow("drag out below the diagram and release there")
        << QList<S>{{S::Press, 55}, {S::Move, 80}, {S::Move, 110}, {S::Release, 110}} << unitsAt(55)
        << " 31.75mm" << 52.25f;
    QTest::newRow("drag out above the diagram and release there")
        << QList<S>{{S::Press, 55}, {S::Move, -10}, {S::Release, -10}} << unitsAt(55) << "-10mm" << 10.5f;
}

void TestCutPositionAdjuster::mouse()
{
    QFETCH(QList<MouseStep>, steps);
    QFETCH(float, lineAfterPress);
    QFETCH(QString, text);
    QFETCH(float, lineY);

    Adjuster a;
    float lastInBand = 0.0f;
    for (const MouseStep& step : steps) {
        a.mouse(step);
        if (step.kind == MouseStep::Press) {
            // The raw pointer position, not yet on the grid.
            QCOMPARE(a.line->position(), lineAfterPress);
            lastInBand = lineAfterPress;
        } else if (step.kind == MouseStep::Move) {
            const float y = unitsAt(step.row);
            if (y >= 10.5f && y <= 52.25f)
                lastInBand = y;
            // Outside the band the line stays where it was last drawn.
            QCOMPARE(a.line->position(), lastInBand);
        }
    }
    QCOMPARE(a.text->text(), text);
    QCOMPARE(a.line->position(), lineY);
}

void TestCutPositionAdjuster::disabledDiagramTakesNoInput()
{
    Adjuster a;
    QTest::mouseClick(a.check, Qt::LeftButton, {}, QPoint(8, a.check->height() / 2)); // off again
    QVERIFY(!a.diagram->isEnabled());
    QTest::mousePress(a.diagram, Qt::LeftButton, {}, QPoint(60, 55));
    QTest::mouseRelease(a.diagram, Qt::LeftButton, {}, QPoint(60, 55));
    QCOMPARE(a.text->text(), QString());
    QCOMPARE(a.line->position(), 20.5f);
    QVERIFY(!a.text->hasFocus());
}

void TestCutPositionAdjuster::checkBoxKeepsTextAndLine()
{
    Adjuster a;
    a.f.window->AdjustCutPosition(12.5f);
    const auto toggle = [&a] {
        QTest::mouseClick(a.check, Qt::LeftButton, {}, QPoint(8, a.check->height() / 2));
    };

    toggle();
    QVERIFY(!a.check->isChecked());
    QVERIFY(!a.diagram->isEnabled());
    QVERIFY(!a.text->isEnabled());
    QCOMPARE(a.line->colour(), QColor(128, 128, 128));
    QCOMPARE(a.text->text(), QStringLiteral(" 12.5mm"));
    QCOMPARE(a.line->position(), 33.0f);

    toggle();
    QVERIFY(a.diagram->isEnabled() && a.text->isEnabled());
    QCOMPARE(a.line->colour(), QColor(255, 0, 0));
    QCOMPARE(a.text->text(), QStringLiteral(" 12.5mm"));
    QCOMPARE(a.line->position(), 33.0f);
}

void TestCutPositionAdjuster::validatedBeforeTheNextControlActs()
{
    Adjuster a;
    QString seenByClick;
    connect(a.check, &QCheckBox::clicked, a.check, [&] { seenByClick = a.text->text(); });
    a.type(QStringLiteral("12.6"));
    QTest::mouseClick(a.check, Qt::LeftButton, {}, QPoint(8, a.check->height() / 2));
    QCOMPARE(seenByClick, QStringLiteral(" 12.5mm"));
}

void TestCutPositionAdjuster::typingThenStoreSettingsSendsNormalisedValue()
{
    Adjuster a;
    QString seenByClick;
    connect(a.f.control<QAbstractButton>("butDownload"), &QAbstractButton::clicked, a.text,
            [&] { seenByClick = a.text->text(); });
    a.type(QStringLiteral("12.6"));
    a.clickTab(0);
    a.f.port.calls.clear();
    QTest::mouseClick(a.f.control("butDownload"), Qt::LeftButton);
    QCOMPARE(seenByClick, QStringLiteral(" 12.5mm"));

    qbx::ControlSnapshot expected;
    expected.adjustCutPos = true;
    expected.cutOffsetText = " 12.5mm";
    expected.presenterDelayText = "30s";
    RecordingPort reference;
    qbx::StoreSettings(reference, expected);
    QCOMPARE(a.f.port.calls, reference.calls);
    QCOMPARE(a.text->text(), QStringLiteral(" 12.5mm"));
}

QTEST_MAIN(TestCutPositionAdjuster)
#include "testcutpositionadjuster.moc"
