#include "leadingnumber.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <string>

using qbx::leadingNumber;

class TestLeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void hostileTexts_data();
    void hostileTexts();
    void ignoresLocale();
};

void TestLeadingNumber::reads_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("plain integer") << QByteArray("12") << 12.0;
    QTest::newRow("unit after the number") << QByteArray(" 12.5mm") << 12.5;
    QTest::newRow("blanks around and inside") << QByteArray(" 12.5 mm") << 12.5;
    QTest::newRow("blank between digits") << QByteArray("1 2") << 12.0;
    QTest::newRow("tab and line feed skipped") << QByteArray("\t1\n2.\t5") << 12.5;
    QTest::newRow("blank after sign") << QByteArray("- 2.5mm") << -2.5;
    QTest::newRow("seconds") << QByteArray("30s") << 30.0;
    QTest::newRow("negative") << QByteArray("-10mm") << -10.0;
    QTest::newRow("plus sign") << QByteArray("+7") << 7.0;
    QTest::newRow("comma is no decimal point") << QByteArray("2,5s") << 2.0;
    QTest::newRow("second point ends it") << QByteArray("1.5.3") << 1.5;
    QTest::newRow("leading point") << QByteArray(".5") << 0.5;
    QTest::newRow("trailing point") << QByteArray("5.") << 5.0;
    QTest::newRow("negative fraction") << QByteArray("-.25mm") << -0.25;
    QTest::newRow("exponent E") << QByteArray("1E3") << 1000.0;
    QTest::newRow("exponent D") << QByteArray("2.5D1") << 25.0;
    QTest::newRow("exponent lower case") << QByteArray("1e2") << 100.0;
    QTest::newRow("negative exponent") << QByteArray("125E-2") << 1.25;
    QTest::newRow("exponent with plus") << QByteArray("1E+2") << 100.0;
    QTest::newRow("exponent without digits ignored") << QByteArray("5E") << 5.0;
    QTest::newRow("exponent sign without digits") << QByteArray("5E-mm") << 5.0;
    QTest::newRow("carriage return stops") << QByteArray("1\r2") << 1.0;
    QTest::newRow("leading zeros") << QByteArray("0007.50") << 7.5;
    QTest::newRow("empty") << QByteArray("") << 0.0;
    QTest::newRow("letters") << QByteArray("abc") << 0.0;
    QTest::newRow("unit only") << QByteArray("mm") << 0.0;
    QTest::newRow("sign only") << QByteArray("-") << 0.0;
    QTest::newRow("point only") << QByteArray(".") << 0.0;
    QTest::newRow("exponent only") << QByteArray("E5") << 0.0;
    QTest::newRow("two signs") << QByteArray("+-5") << 0.0;
    QTest::newRow("NUL ends the number") << QByteArray("4\0"
                                                       "5",
                                                       3)
                                         << 4.0;
}

void TestLeadingNumber::reads()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    QCOMPARE(leadingNumber(std::string_view(text.constData(), text.size())), value);
}

void TestLeadingNumber::hostileTexts_data()
{
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("thousand digits") << QByteArray(1000, '9') << inf;
    QTest::newRow("thousand digits negative") << "-" + QByteArray(1000, '9') << -inf;
    QTest::newRow("thousand digit fraction") << "0." + QByteArray(1000, '0') + "1" << 0.0;
    QTest::newRow("huge exponent") << QByteArray("1e99999") << inf;
    QTest::newRow("huge negative exponent") << QByteArray("1e-99999") << 0.0;
    QTest::newRow("exponent beyond long") << QByteArray("1e") + QByteArray(40, '9') << inf;
    QTest::newRow("thousand digits with tiny exponent")
        << QByteArray(1000, '9') + "e-1100" << 9.999999999999999e-101;
    QTest::newRow("megabyte of blanks then 3") << QByteArray(1 << 20, ' ') + "3" << 3.0;
    QTest::newRow("megabyte of zeros then 1") << QByteArray(1 << 20, '0') + "1" << 1.0;
    QTest::newRow("just above double max") << QByteArray("1.8e308") << inf;
    QTest::newRow("double max") << QByteArray("1.7976931348623157e308") << 1.7976931348623157e308;
    QTest::newRow("below denormal") << QByteArray("1e-400") << 0.0;
}

void TestLeadingNumber::hostileTexts()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    const double result = leadingNumber(std::string_view(text.constData(), text.size()));
    QVERIFY(!std::isnan(result));
    if (std::isinf(value) || value == 0.0)
        QCOMPARE(result, value);
    else
        QVERIFY2(std::fabs(result - value) <= std::fabs(value) * 1e-15, std::to_string(result).c_str());
}

void TestLeadingNumber::ignoresLocale()
{
    const char* old = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    QCOMPARE(leadingNumber("2.5s"), 2.5);
    QCOMPARE(leadingNumber("2,5s"), 2.0);
    if (old)
        std::setlocale(LC_NUMERIC, "C");
}

QTEST_APPLESS_MAIN(TestLeadingNumber)
#include "testleadingnumber.moc"
