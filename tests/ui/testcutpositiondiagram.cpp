#include "cutpositiondiagram.h"

#include <QImage>
#include <QTest>

using qbx::ui::CutPositionDiagram;

class TestCutPositionDiagram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bitmapPixelForPixel();
    void lineAcrossTheFullWidth();
};

// What the ticket picture shows at a pixel.
static QRgb expectedPixel(int x, int y)
{
    const QRgb grey = qRgb(192, 192, 192);
    const QRgb black = qRgb(0, 0, 0);
    const QRgb white = qRgb(255, 255, 255);
    if (y <= 16 || y >= 95)
        return grey;
    if (x < 2 || x == 129)
        return black;
    if (x >= 105 && x <= 127 && y >= 36 && y <= 40)
        return black;
    return white;
}

void TestCutPositionDiagram::initTestCase()
{
    Q_INIT_RESOURCE(ui);
}

void TestCutPositionDiagram::bitmapPixelForPixel()
{
    const QImage bitmap(QStringLiteral(":/qbx7config/diagram.bmp"));
    QCOMPARE(bitmap.size(), QSize(130, 101));
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            if (bitmap.pixel(x, y) != expectedPixel(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2").arg(x).arg(y)));
}

void TestCutPositionDiagram::lineAcrossTheFullWidth()
{
    CutPositionDiagram diagram;
    diagram.line()->setPosition(20.5f);
    diagram.resize(130, 101);
    diagram.show();
    QVERIFY(QTest::qWaitForWindowExposed(&diagram));
    // Placed before the diagram had its size, the line follows it to the right row: offset 0
    // through the black mark, the band's bottom near the lower edge.
    QCOMPARE(diagram.line()->geometry(), QRect(0, 38, 130, 1));
    diagram.line()->setColour(QColor(255, 0, 0));
    QCOMPARE(diagram.grab().toImage().pixel(65, 38), qRgb(255, 0, 0));
    diagram.line()->setPosition(52.25f);
    QCOMPARE(diagram.line()->geometry(), QRect(0, 96, 130, 1));
    QVERIFY(diagram.line()->testAttribute(Qt::WA_TransparentForMouseEvents));
}

QTEST_MAIN(TestCutPositionDiagram)
#include "testcutpositiondiagram.moc"
