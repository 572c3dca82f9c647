#include "settings/frames.h"
#include "settings/store.h"
#include "ui/cutpositiondiagram.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>

using namespace qbx::test;
using qbx::ui::CutPositionDiagram;
using qbx::ui::DiagramLine;

namespace {

const QColor kRed(255, 0, 0);
const QColor kGrey(128, 128, 128);

// One thing done with the mouse on the diagram at a pixel row (outside it too), or a key pressed
// on it, and where the line is drawn afterwards.
struct InputStep
{
    enum Kind
    {
        Press,
        Move,
        Release,
        Key
    } kind;
    int rowOrKey;
    float line;
};

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
};

} // namespace

Q_DECLARE_METATYPE(QList<InputStep>)

// The window's two number editors: the cut position adjuster with its diagram, and the presenter
// timer's custom delay box.
class TestEntryEditors : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(ui);
        verifyLocaleAsAsked();
    }

    void storeSendsTheNormalisedBox_data()
    {
        QTest::addColumn<bool>("cut");      // the cut offset's box, else the custom presenter delay's
        QTest::addColumn<QString>("typed"); // null: the box is left as it starts
        QTest::addColumn<int>("number");    // quarter millimetres or half seconds, as sent
        QTest::addColumn<QString>("text");

        // The rounding itself is proven on the shared normalisation; these show the box, the text
        // written back, the line and what is sent agree. Both boxes read through the same
        // leading-number reading, so one comma row covers them; run under a decimal-comma locale,
        // the rows with a point show that neither box reads the locale's way.
        QTest::newRow("cut rounds to the quarter grid") << true << "12.63" << 51 << " 12.75mm";
        QTest::newRow("cut empty") << true << "" << 0 << " 0mm";
        QTest::newRow("cut: comma is no decimal point") << true << "1,5" << 4 << " 1mm";
        QTest::newRow("delay never edited sends 30 s") << false << QString() << 60 << "30s";
        QTest::newRow("delay rounds down to half seconds") << false << "2.7" << 5 << "2.5s";
    }

    void storeSendsTheNormalisedBox()
    {
        QFETCH(bool, cut);
        QFETCH(QString, typed);
        QFETCH(int, number);
        QFETCH(QString, text);

        Adjuster a(cut);
        auto* delay = a.f.control<QComboBox>("cmbPresenterDelay");
        QLineEdit* box = cut ? a.text : a.f.control<QLineEdit>("txtPresenterDelay");
        qbx::ControlSnapshot expected;
        expected.adjustCutPos = cut;
        expected.cutOffsetQuarters = number;
        expected.presenterDelayHalfSeconds = cut ? 60 : number;
        if (!cut) {
            a.f.showPage(Presenter);
            // "Custom", the last entry: the loop at the end shows that it alone shows the box.
            delay->setCurrentIndex(delay->count() - 1);
            expected.selection[qbx::presenterDelayStep()] = int(qbx::customDelayEntry());
        }
        QString seenByClick;
        connect(a.f.control<QAbstractButton>("butDownload"), &QAbstractButton::clicked, box,
                [&] { seenByClick = box->text(); });
        if (!typed.isNull()) {
            WindowFixture::type(box, typed);
            QCOMPARE(box->text(), typed); // nothing changes while typing
        }

        // Straight to "Store Settings": the box is normalised before the click acts, and the number
        // it shows is sent.
        RecordingPort reference;
        qbx::StoreSettings(reference, expected);
        QCOMPARE(a.f.storeFromMainPage(), reference.calls);
        QCOMPARE(seenByClick, text);
        QCOMPARE(a.line->position(), cut ? 20.5f + number / 4.0f : 20.5f);
        QCOMPARE(a.line->colour(), cut ? kRed : kGrey);
        // Only "Custom" shows the delay's box; other choices keep its text.
        for (int i = 0; !cut && i < delay->count(); ++i) {
            delay->setCurrentIndex(i);
            QCOMPARE(!box->isHidden(), i == delay->count() - 1);
            QCOMPARE(box->text(), text);
        }
    }

    void input_data()
    {
        using S = InputStep;
        QTest::addColumn<float>("start");
        QTest::addColumn<QList<InputStep>>("steps");
        QTest::addColumn<QString>("text");

        // A pointer at pixel row p is at y = p * 55 / 101. While the button is down the line follows
        // the raw pointer inside the band (10.5..52.25) and stays outside it; the release, even
        // outside the diagram, puts it on the grid.
        const float at55 = 55 * 55.0f / 101.0f; // offset 9.45, on the grid 9.5
        const float at80 = 80 * 55.0f / 101.0f;
        const auto row = [](const char* name, float start, const QList<S>& steps, const char* text) {
            QTest::newRow(name) << start << steps << QString::fromLatin1(text);
        };
        // The first release puts the line on the grid (9.45 to 9.5); only then come the ignored ones.
        row("after a release, a press above the band is ignored and so is its drag", 0,
            {{S::Press, 55, at55},
             {S::Release, 55, 30.0f},
             {S::Press, 9, 30.0f},
             {S::Move, 55, 30.0f},
             {S::Release, 9, 10.5f}},
            "-10mm");
        row("drag inside the band follows, out below holds the line", 0,
            {{S::Press, 55, at55}, {S::Move, 80, at80}, {S::Move, 110, at80}, {S::Release, 110, 52.25f}},
            " 31.75mm");
        row("Up: a quarter towards the mark", 12.5f, {{S::Key, Qt::Key_Up, 32.75f}}, " 12.25mm");
        row("Down twice", 12.5f, {{S::Key, Qt::Key_Down, 33.25f}, {S::Key, Qt::Key_Down, 33.5f}}, " 13mm");
        row("Page Up past the mark", 0, {{S::Key, Qt::Key_PageUp, 19.5f}}, "-1mm");
        row("Page Down stops at the end", 31.5f, {{S::Key, Qt::Key_PageDown, 52.25f}}, " 31.75mm");
    }

    void input()
    {
        QFETCH(float, start);
        QFETCH(QList<InputStep>, steps);
        QFETCH(QString, text);

        Adjuster a;
        a.f.window->AdjustCutPosition(start);
        a.diagram->setFocus(Qt::TabFocusReason);
        for (const InputStep& step : steps) {
            const QPoint at(a.diagram->width() / 2, step.rowOrKey);
            if (step.kind == InputStep::Press)
                QTest::mousePress(a.diagram, Qt::LeftButton, {}, at);
            else if (step.kind == InputStep::Move)
                QTest::mouseMove(a.diagram, at);
            else if (step.kind == InputStep::Release)
                QTest::mouseRelease(a.diagram, Qt::LeftButton, {}, at);
            else
                QTest::keyClick(a.diagram, Qt::Key(step.rowOrKey));
            QCOMPARE(a.line->position(), step.line);
        }
        QCOMPARE(a.text->text(), text);
        // A screen reader hears a slider and the offset with its unit.
        const QString number = text.trimmed().chopped(2);
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(a.diagram);
        QCOMPARE(reader->role(), QAccessible::Slider);
        QCOMPARE(reader->text(QAccessible::Value), number + QStringLiteral(" mm"));
        QCOMPARE(reader->valueInterface()->currentValue().toDouble(), number.toDouble());
    }

    void checkBoxKeepsTextAndLine()
    {
        Adjuster a(false); // grey while off: storeSendsTheNormalisedBox's delay rows
        QTest::mousePress(a.diagram, Qt::LeftButton, {}, QPoint(60, 55)); // off: the diagram takes nothing
        QTest::mouseRelease(a.diagram, Qt::LeftButton, {}, QPoint(60, 55));
        QCOMPARE(a.text->text(), QString());
        QCOMPARE(a.line->position(), 20.5f);

        a.toggle();
        QString seenByClick;
        connect(a.check, &QAbstractButton::clicked, a.text, [&] { seenByClick = a.text->text(); });
        WindowFixture::type(a.text, QStringLiteral("12.6"));
        for (const bool on : {false, true}) {
            a.toggle(); // the typed text is normalised before the check box acts
            QCOMPARE(seenByClick, QStringLiteral(" 12.5mm"));
            QVERIFY(a.check->isChecked() == on && a.diagram->isEnabled() == on && a.text->isEnabled() == on);
            QCOMPARE(a.line->colour(), on ? kRed : kGrey);
            QCOMPARE(a.text->text(), QStringLiteral(" 12.5mm"));
            QCOMPARE(a.line->position(), 33.0f);
        }
    }

    void lineAcrossTheFullWidth()
    {
        CutPositionDiagram diagram;
        diagram.line()->setPosition(20.5f);
        diagram.resize(130, 101);
        diagram.show();
        QVERIFY(QTest::qWaitForWindowExposed(&diagram));
        // Placed before the diagram had its size, the line follows it to the right row: offset 0
        // through the black mark, the band's bottom near the lower edge.
        QCOMPARE(diagram.line()->geometry(), QRect(0, 38, 130, 1));
        diagram.line()->setColour(kRed);
        QCOMPARE(diagram.grab().toImage().pixel(65, 38), kRed.rgb());
        diagram.line()->setPosition(52.25f);
        QCOMPARE(diagram.line()->geometry(), QRect(0, 96, 130, 1));
        QVERIFY(diagram.line()->testAttribute(Qt::WA_TransparentForMouseEvents));
    }
};

QTEST_MAIN(TestEntryEditors)
#include "testentryeditors.moc"
