#include "frames.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTabBar>

#include <clocale>

using qbx::test::WindowFixture;

namespace {

constexpr int kPresenter = 4;

struct Entry
{
    WindowFixture f;
    QComboBox* delay = f.control<QComboBox>("cmbPresenterDelay");
    QLineEdit* custom = f.control<QLineEdit>("txtPresenterDelay");

    Entry() { f.showPage(kPresenter); }

    void choose(const QString& entry) const
    {
        const int index = delay->findText(entry);
        QVERIFY2(index >= 0, qPrintable(entry));
        delay->setCurrentIndex(index);
    }

    void chooseCustom() const { choose(QStringLiteral("Custom")); }

    void type(const QString& typed) const
    {
        custom->setFocus(Qt::MouseFocusReason);
        custom->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(custom, Qt::Key_Delete);
        else
            QTest::keyClicks(custom, typed);
    }

    void leave() const { QTest::keyClick(custom, Qt::Key_Tab); }

    std::vector<std::string> storeAfterClickingMain()
    {
        QTabBar* bar = f.tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        f.port.calls.clear();
        QTest::mouseClick(f.control("butDownload"), Qt::LeftButton);
        return f.port.writes();
    }
};

} // namespace

class TestPresenterTimerEntry : public QObject
{
    Q_OBJECT

private slots:
    void shownOnlyForCustom();
    void textKeptThroughHidingAndShowing();
    void normalised_data();
    void normalised();
    void normalisedUnderGermanLocale();
    void customNeverEditedSends30Seconds();
    void typingThenStoreSettingsSendsNormalisedValue();
};

void TestPresenterTimerEntry::shownOnlyForCustom()
{
    Entry e;
    QVERIFY(e.custom->isHidden());
    for (int i = 0; i < e.delay->count(); ++i) {
        e.delay->setCurrentIndex(i);
        QCOMPARE(e.custom->isVisible(), e.delay->itemText(i) == QLatin1String("Custom"));
    }
    QCOMPARE(e.delay->itemText(e.delay->count() - 1), QStringLiteral("Custom"));
}

void TestPresenterTimerEntry::textKeptThroughHidingAndShowing()
{
    Entry e;
    e.chooseCustom();
    QVERIFY(e.custom->isVisible());
    QCOMPARE(e.custom->text(), QStringLiteral("30s"));
    e.type(QStringLiteral("12"));
    e.leave();
    QTRY_COMPARE(e.custom->text(), QStringLiteral("12s"));
    e.choose(QStringLiteral("No Change"));
    QVERIFY(e.custom->isHidden());
    QCOMPARE(e.custom->text(), QStringLiteral("12s"));
    e.chooseCustom();
    QCOMPARE(e.custom->text(), QStringLiteral("12s"));
}

void TestPresenterTimerEntry::normalised_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");

    QTest::newRow("rounds down to half seconds") << "2.7"
                                                 << "2.5s";
    QTest::newRow("blank before the unit") << "2.5 s"
                                           << "2.5s";
    QTest::newRow("below half a second") << "0.4"
                                         << "0s";
    QTest::newRow("just above the maximum") << "127.9"
                                            << "127.5s";
    QTest::newRow("far above is limited to the timer") << "200"
                                                       << "127.5s";
    QTest::newRow("rounds down, then limited to zero") << "-0.3"
                                                       << "0s";
    QTest::newRow("whole seconds") << "30"
                                   << "30s";
    QTest::newRow("empty") << ""
                           << "0s";
    QTest::newRow("unit only") << "s"
                               << "0s";
    QTest::newRow("comma is no decimal point") << "2,5"
                                               << "2s";
    QTest::newRow("beyond double precision") << "1e99999"
                                             << "127.5s";
}

void TestPresenterTimerEntry::normalised()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);

    Entry e;
    e.chooseCustom();
    e.type(typed);
    QCOMPARE(e.custom->text(), typed); // nothing changes while typing
    e.leave();
    QTRY_COMPARE(e.custom->text(), text);
}

void TestPresenterTimerEntry::normalisedUnderGermanLocale()
{
    const QLocale before;
    const std::string cBefore = std::setlocale(LC_ALL, nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        QSKIP("the de_DE.UTF-8 locale is not installed");
    {
        Entry e;
        e.chooseCustom();
        e.type(QStringLiteral("2.7"));
        e.leave();
        QTRY_COMPARE(e.custom->text(), QStringLiteral("2.5s"));
        // The half second reaches the printer: 5 half seconds.
        const std::vector<std::string> writes = e.storeAfterClickingMain();
        QVERIFY(std::find(writes.begin(), writes.end(), qbx::setFrame("5", "0005")) != writes.end());
    }
    std::setlocale(LC_ALL, cBefore.c_str());
    QLocale::setDefault(before);
}

void TestPresenterTimerEntry::customNeverEditedSends30Seconds()
{
    Entry e;
    e.chooseCustom();
    const std::vector<std::string> writes = e.storeAfterClickingMain();
    const std::vector<std::string> expected{qbx::clearFrame("5", "00FF"), qbx::setFrame("5", "003C"),
                                            qbx::storeFrame()};
    QCOMPARE(writes, expected);
}

void TestPresenterTimerEntry::typingThenStoreSettingsSendsNormalisedValue()
{
    Entry e;
    e.chooseCustom();
    QString seenByClick;
    connect(e.f.control<QAbstractButton>("butDownload"), &QAbstractButton::clicked, e.custom,
            [&] { seenByClick = e.custom->text(); });
    e.type(QStringLiteral("200"));
    const std::vector<std::string> writes = e.storeAfterClickingMain();
    QCOMPARE(seenByClick, QStringLiteral("127.5s"));
    QCOMPARE(e.custom->text(), QStringLiteral("127.5s"));
    const std::vector<std::string> expected{qbx::clearFrame("5", "00FF"), qbx::setFrame("5", "00FF"),
                                            qbx::storeFrame()};
    QCOMPARE(writes, expected);
}

QTEST_MAIN(TestPresenterTimerEntry)
#include "testpresentertimerentry.moc"
