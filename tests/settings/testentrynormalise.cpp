#include "entrynormalise.h"
#include "leadingnumber.h"

#include <QTest>

#include <limits>

class TestEntryNormalise : public QObject
{
    Q_OBJECT

private slots:
    void cutOffset_data();
    void cutOffset();
    void presenterDelay_data();
    void presenterDelay();
    void singlePrecision_data();
    void singlePrecision();
};

// Texts as a user types them, through the same leading-number reading the window uses.
void TestEntryNormalise::cutOffset_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");

    QTest::newRow("rounds down to the grid") << "12.6"
                                             << " 12.5mm";
    QTest::newRow("rounds up to the grid") << "12.63"
                                           << " 12.75mm";
    QTest::newRow("below range") << "-15"
                                 << "-10mm";
    QTest::newRow("above range") << "40"
                                 << " 31.75mm";
    QTest::newRow("just below max") << "31.6"
                                    << " 31.5mm";
    QTest::newRow("near max") << "31.7"
                              << " 31.75mm";
    QTest::newRow("tie to even count down") << "0.125"
                                            << " 0mm";
    QTest::newRow("tie to even count up") << "0.375"
                                          << " 0.5mm";
    QTest::newRow("tie 2.625") << "2.625"
                               << " 2.5mm";
    QTest::newRow("tie 2.875") << "2.875"
                               << " 3mm";
    QTest::newRow("blanks and unit") << " 12.5 mm"
                                     << " 12.5mm";
    QTest::newRow("negative fraction") << "-9.75"
                                       << "-9.75mm";
    QTest::newRow("negative quarter") << "-0.25"
                                      << "-0.25mm";
    QTest::newRow("small negative becomes zero") << "-0.1"
                                                 << " 0mm";
    QTest::newRow("empty") << ""
                           << " 0mm";
    QTest::newRow("letters") << "abc"
                             << " 0mm";
    QTest::newRow("comma") << "1,5"
                           << " 1mm";
    QTest::newRow("huge") << "1e30"
                          << " 31.75mm";
    QTest::newRow("huge negative") << "-1e30"
                                   << "-10mm";
    QTest::newRow("beyond 16-bit count") << "99999999"
                                         << " 31.75mm";
    QTest::newRow("thousand digits") << QString(1000, QLatin1Char('7')) << " 31.75mm";
    QTest::newRow("infinity") << "1e99999"
                              << " 31.75mm";
    QTest::newRow("beyond single precision") << "1e300"
                                             << " 31.75mm";
    QTest::newRow("beyond single precision negative") << "-1e300"
                                                      << "-10mm";
}

void TestEntryNormalise::cutOffset()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    const float value = qbx::singlePrecision(qbx::leadingNumber(typed.toStdString()));
    QCOMPARE(QString::fromStdString(qbx::cutOffsetText(qbx::normaliseCutOffset(value))), text);
}

void TestEntryNormalise::presenterDelay_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");

    QTest::newRow("rounds down") << "2.7"
                                 << "2.5s";
    QTest::newRow("unit with blank") << "2.5 s"
                                     << "2.5s";
    QTest::newRow("below half") << "0.4"
                                << "0s";
    QTest::newRow("near max") << "127.9"
                              << "127.5s";
    QTest::newRow("whole number") << "30"
                                  << "30s";
    QTest::newRow("above the timer limited") << "200"
                                             << "127.5s";
    QTest::newRow("negative limited to zero") << "-0.3"
                                              << "0s";
    QTest::newRow("empty") << ""
                           << "0s";
    QTest::newRow("letters") << "abc"
                             << "0s";
    QTest::newRow("comma") << "2,5"
                           << "2s";
    QTest::newRow("infinity") << "1e99999"
                              << "127.5s";
}

void TestEntryNormalise::presenterDelay()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    const double value = qbx::leadingNumber(typed.toStdString());
    QCOMPARE(QString::fromStdString(qbx::presenterDelayText(qbx::normalisePresenterDelay(value))), text);
}

void TestEntryNormalise::singlePrecision_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<float>("expected");

    constexpr float kMax = std::numeric_limits<float>::max();
    QTest::newRow("in range unchanged") << 12.63 << 12.63f;
    QTest::newRow("too large saturates") << 1e300 << kMax;
    QTest::newRow("too small saturates") << -1e300 << -kMax;
    QTest::newRow("infinity saturates") << std::numeric_limits<double>::infinity() << kMax;
    QTest::newRow("NaN gives zero") << std::numeric_limits<double>::quiet_NaN() << 0.0f;
}

void TestEntryNormalise::singlePrecision()
{
    QFETCH(double, value);
    QFETCH(float, expected);
    QCOMPARE(qbx::singlePrecision(value), expected);
}

QTEST_APPLESS_MAIN(TestEntryNormalise)
#include "testentrynormalise.moc"
