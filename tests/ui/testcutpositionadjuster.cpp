#include "cutpositiondiagram.h"
#include "store.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QCheckBox>

using namespace qbx::test;
using qbx::ui::CutPositionDiagram;
using qbx::ui::DiagramLine;

namespace {

const QColor kRed(255, 0, 0);
const QColor kGrey(128, 128, 128);

// One thing done with the mouse on the diagram, at a pixel row of it (outside it too), and where
// the line is drawn afterwards.
struct MouseStep
{
    enum Kind
    {
        Press,
        Move,
        Release
    } kind;
    int row;
    float line;
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

    explicit Adjuster(bool on = true)
    {
        f.showPage(Tickets);
        if (on)
            toggle();
    }

    void toggle() const { QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2)); }

    void mouse(const MouseStep& step) const
    {
        const QPoint at(diagram->width() / 2, step.row);
        if (step.kind == MouseStep::Press)
            QTest::mousePress(diagram, Qt::LeftButton, {}, at);
        else if (step.kind == MouseStep::Move)
            QTest::mouseMove(diagram, at);
        else
            QTest::mouseRelease(diagram, Qt::LeftButton, {}, at);
    }
};

} // namespace

Q_DECLARE_METATYPE(QList<MouseStep>)

class TestCutPositionAdjuster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { verifyLocaleAsAsked(); }
    void typed_data();
    void typed();
    void mouse_data();
    void mouse();
    void disabledDiagramTakesNoInput();
    void checkBoxKeepsTextAndLine();
    void validatedBeforeTheNextControlActs_data();
    void validatedBeforeTheNextControlActs();
};

void TestCutPositionAdjuster::typed_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("lineY");

    // The rounding itself is proven on the shared normalisation; these show the box, the text
    // written back and the line agree.
    const auto add = [](const char* row, const QString& typed, const char* text, float lineY) {
        QTest::newRow(row) << typed << QString::fromLatin1(text) << lineY;
    };
    add("rounds to the quarter grid", "12.63", " 12.75mm", 33.25f);
    add("tie to even", "2.625", " 2.5mm", 23.0f);
    add("below the range", "-15", "-10mm", 10.5f);
    add("above the range", "40", " 31.75mm", 52.25f);
    add("negative quarter", "-9.75", "-9.75mm", 10.75f);
    add("blanks and unit", " 12.5 mm", " 12.5mm", 33.0f);
    add("empty", "", " 0mm", 20.5f);
    add("letters", "abc", " 0mm", 20.5f);
    add("a thousand digits", QString(1000, u'9'), " 31.75mm", 52.25f);
    add("comma is no decimal point", "1,5", " 1mm", 21.5f);
}

void TestCutPositionAdjuster::typed()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(float, lineY);

    Adjuster a;
    WindowFixture::type(a.text, typed);
    QCOMPARE(a.text->text(), typed);      // nothing changes while typing
    QTest::keyClick(a.text, Qt::Key_Tab); // the focus leaves the box
    QTRY_COMPARE(a.text->text(), text);
    QCOMPARE(a.line->position(), lineY);
    QCOMPARE(a.line->colour(), kRed);

    // "Store Settings" then sends the offset the box shows.
    qbx::ControlSnapshot expected;
    expected.adjustCutPos = true;
    expected.cutOffsetText = text.toStdString();
    expected.presenterDelayText = "30s";
    RecordingPort reference;
    qbx::StoreSettings(reference, expected);
    QCOMPARE(a.f.storeFromMainPage(), reference.calls);
}

void TestCutPositionAdjuster::mouse_data()
{
    using S = MouseStep;
    QTest::addColumn<QList<MouseStep>>("steps");
    QTest::addColumn<QString>("text");

    // While the button is down the line follows the raw pointer inside the band and stays where
    // it was outside it; the release puts it on the grid. Row 55 is y = 29.95 (offset 9.45, on
    // the grid 9.5); row 80 is y = 43.56; release outside the diagram still applies.
    const float at55 = unitsAt(55);
    const float at80 = unitsAt(80);
    QTest::newRow("press and release in the band")
        << QList<S>{{S::Press, 55, at55}, {S::Release, 55, 30.0f}} << " 9.5mm";
    QTest::newRow("press above the band ignored, release there sets the minimum")
        << QList<S>{{S::Press, 9, 20.5f}, {S::Release, 9, 10.5f}} << "-10mm";
    QTest::newRow("press below the band ignored, release there sets the maximum")
        << QList<S>{{S::Press, 99, 20.5f}, {S::Release, 99, 52.25f}} << " 31.75mm";
    QTest::newRow("drag inside the band follows the pointer, out below holds the line")
        << QList<S>{{S::Press, 55, at55},
                    {S::Move, 80, at80},
                    {S::Move, 110, at80},
                    {S::Release, 110, 52.25f}}
        << " 31.75mm";
    QTest::newRow("drag out above the diagram holds the line, release there")
        << QList<S>{{S::Press, 55, at55}, {S::Move, -10, at55}, {S::Release, -10, 10.5f}} << "-10mm";
}

void TestCutPositionAdjuster::mouse()
{
    QFETCH(QList<MouseStep>, steps);
    QFETCH(QString, text);

    Adjuster a;
    for (const MouseStep& step : steps) {
        a.mouse(step);
        QCOMPARE(a.line->position(), step.line);
    }
    QCOMPARE(a.text->text(), text);
}

void TestCutPositionAdjuster::disabledDiagramTakesNoInput()
{
    Adjuster a(false);
    QVERIFY(!a.diagram->isEnabled());
    QTest::mousePress(a.diagram, Qt::LeftButton, {}, QPoint(60, 55));
    QTest::mouseRelease(a.diagram, Qt::LeftButton, {}, QPoint(60, 55));
    QCOMPARE(a.text->text(), QString());
    QCOMPARE(a.line->position(), 20.5f);
    QVERIFY(!a.text->hasFocus());
}

void TestCutPositionAdjuster::checkBoxKeepsTextAndLine()
{
    Adjuster a(false);
    QCOMPARE(a.line->colour(), kGrey);
    QCOMPARE(a.line->position(), 20.5f);
    a.toggle();
    QCOMPARE(a.line->colour(), kRed);
    a.f.window->AdjustCutPosition(12.5f);
    for (const bool on : {false, true}) {
        a.toggle();
        QCOMPARE(a.check->isChecked(), on);
        QCOMPARE(a.diagram->isEnabled(), on);
        QCOMPARE(a.text->isEnabled(), on);
        QCOMPARE(a.line->colour(), on ? kRed : kGrey);
        QCOMPARE(a.text->text(), QStringLiteral(" 12.5mm"));
        QCOMPARE(a.line->position(), 33.0f);
    }
}

void TestCutPositionAdjuster::validatedBeforeTheNextControlActs_data()
{
    QTest::addColumn<QString>("next");
    QTest::newRow("the check box beside it") << "chk_AdjustCutPos";
    QTest::newRow("Store Settings, reached by the tab strip") << "butDownload";
}

void TestCutPositionAdjuster::validatedBeforeTheNextControlActs()
{
    QFETCH(QString, next);

    Adjuster a;
    auto* button = a.f.control<QAbstractButton>(next.toLatin1().constData());
    QString seenByClick;
    connect(button, &QAbstractButton::clicked, a.text, [&] { seenByClick = a.text->text(); });
    WindowFixture::type(a.text, QStringLiteral("12.6"));
    if (button == a.check)
        a.toggle();
    else
        a.f.storeFromMainPage();
    QCOMPARE(seenByClick, QStringLiteral(" 12.5mm"));
}

QTEST_MAIN(TestCutPositionAdjuster)
#include "testcutpositionadjuster.moc"
