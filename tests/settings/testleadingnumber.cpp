#include "entrynormalise.h"
#include "leadingnumber.h"

#include <QTest>

#include <clocale>
#include <cmath>
#include <limits>

using qbx::leadingNumber;

class TestLeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reads_data();
    void reads();
    void normalise_data();
    void normalise();
    void singlePrecision_data();
    void singlePrecision();
};

void TestLeadingNumber::reads_data()
{
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("unit after the number") << QByteArray(" 12.5mm") << 12.5;
    QTest::newRow("tab, line feed and blank skipped anywhere") << QByteArray("- \t1\n2.\t5 mm") << -12.5;
    QTest::newRow("plus sign") << QByteArray("+7") << 7.0;
    QTest::newRow("leading point") << QByteArray("-.25mm") << -0.25;
    QTest::newRow("exponent D") << QByteArray("2.5D1") << 25.0;
    QTest::newRow("exponent lower case") << QByteArray("1e2") << 100.0;
    QTest::newRow("lower-case d") << QByteArray("1d2") << 100.0;
    QTest::newRow("negative exponent") << QByteArray("125E-2") << 1.25;
    QTest::newRow("exponent with plus") << QByteArray("1E+2") << 100.0;
    QTest::newRow("exponent sign without digits") << QByteArray("5E-mm") << 5.0;
    QTest::newRow("zeros around") << QByteArray("0007.50") << 7.5;
    QTest::newRow("letters") << QByteArray("abc") << 0.0;
    QTest::newRow("two signs") << QByteArray("+-5") << 0.0;
    QTest::newRow("zero with huge exponent") << QByteArray("0e99999") << 0.0;

    // Texts no user types, which must neither hang, wrap nor lose precision.
    QTest::newRow("thousand digits") << QByteArray(1000, '9') << inf;
    QTest::newRow("thousand digits negative") << "-" + QByteArray(1000, '9') << -inf;
    QTest::newRow("thousand digit fraction") << "0." + QByteArray(1000, '0') + "1" << 0.0;
    QTest::newRow("exponent beyond long") << QByteArray("1e") + QByteArray(40, '9') << inf;
    QTest::newRow("exponent beyond long, negative") << QByteArray("1e-") + QByteArray(40, '9') << 0.0;
    QTest::newRow("thousand digits with tiny exponent")
        << QByteArray(1000, '9') + "e-1100" << 9.999999999999999e-101;
    QTest::newRow("megabyte of zeros then 1") << QByteArray(1 << 20, '0') + "1" << 1.0;
    QTest::newRow("fraction of many zeros then 1") << "." + QByteArray(1 << 20, '0') + "1" << 0.0;
    QTest::newRow("just above double max") << QByteArray("1.8e308") << inf;
    QTest::newRow("smallest denormal") << QByteArray("5e-324") << 5e-324;
    QTest::newRow("below denormal, negative") << QByteArray("-1e-330") << 0.0;
}

void TestLeadingNumber::reads()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    const double result = leadingNumber(std::string_view(text.constData(), text.size()));
    // Exact, or within rounding of the last digit; a fuzzy compare would take 1e-100 for 0.
    QVERIFY2(result == value || std::fabs(result - value) <= std::fabs(value) * 1e-15,
             QByteArray::number(result, 'g', 17).constData());
    QCOMPARE(std::signbit(result), value < 0); // never -0
}

// Every row runs under a decimal-comma locale, where the system has one: reading must ignore it.
void TestLeadingNumber::initTestCase()
{
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
}

// Texts as a user types them, through the same leading-number reading the window uses.
void TestLeadingNumber::normalise_data()
{
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");

    struct Row
    {
        const char* typed;
        const char* text;
    };
    const Row cutRows[] = {
        {"12.6", " 12.5mm"},   {"12.63", " 12.75mm"}, {"0.125", " 0mm"},    {"0.375", " 0.5mm"},
        {"-15", "-10mm"},      {"40", " 31.75mm"},    {"31.7", " 31.75mm"}, {"-9.75", "-9.75mm"},
        {"-0.25", "-0.25mm"},  {"-0.1", " 0mm"},      {"", " 0mm"},         {"99999999", " 31.75mm"},
        {"1e300", " 31.75mm"}, {"-1e300", "-10mm"},
    };
    for (const Row& r : cutRows)
        QTest::addRow("cut [%s]", r.typed) << true << r.typed << r.text;

    const Row delayRows[] = {
        {"2.7", "2.5s"},   {"0.4", "0s"},         {"127.9", "127.5s"}, {"30", "30s"},
        {"200", "127.5s"}, {"1e99999", "127.5s"}, {"-0.3", "0s"},
    };
    for (const Row& r : delayRows)
        QTest::addRow("delay [%s]", r.typed) << false << r.typed << r.text;
}

void TestLeadingNumber::normalise()
{
    QFETCH(bool, cut);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    const double value = qbx::leadingNumber(typed.toStdString());
    const std::string result = cut ? qbx::cutOffsetText(qbx::normaliseCutOffset(qbx::singlePrecision(value)))
                                   : qbx::presenterDelayText(qbx::normalisePresenterDelay(value));
    QCOMPARE(QString::fromStdString(result), text);
}

void TestLeadingNumber::singlePrecision_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<float>("expected");

    constexpr float kMax = std::numeric_limits<float>::max();
    QTest::newRow("in range unchanged") << 12.63 << 12.63f;
    QTest::newRow("too small saturates") << -1e300 << -kMax;
    QTest::newRow("infinity saturates") << std::numeric_limits<double>::infinity() << kMax;
    QTest::newRow("NaN gives zero") << std::numeric_limits<double>::quiet_NaN() << 0.0f;
}

void TestLeadingNumber::singlePrecision()
{
    QFETCH(double, value);
    QFETCH(float, expected);
    QCOMPARE(qbx::singlePrecision(value), expected);
}

QTEST_APPLESS_MAIN(TestLeadingNumber)
#include "testleadingnumber.moc"
