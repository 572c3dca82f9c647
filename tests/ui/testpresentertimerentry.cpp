#include "frames.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QComboBox>

using namespace qbx::test;

class TestPresenterTimerEntry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { verifyLocaleAsAsked(); }
    void normalised_data();
    void normalised();
};

void TestPresenterTimerEntry::normalised_data()
{
    QTest::addColumn<QString>("typed"); // null: the box is left as it starts
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("halfSeconds"); // the timer's value in the frame sent

    // The rounding itself is proven on the shared normalisation; these show the box, the text
    // written back and what "Store Settings" then sends agree.
    QTest::newRow("never edited sends 30 s") << QString() << "30s"
                                             << "003C";
    QTest::newRow("rounds down to half seconds") << "2.7"
                                                 << "2.5s"
                                                 << "0005";
    QTest::newRow("rounds down, then limited to zero") << "-0.3"
                                                       << "0s"
                                                       << "0000";
    QTest::newRow("far above is limited to the timer") << "200"
                                                       << "127.5s"
                                                       << "00FF";
    QTest::newRow("comma is no decimal point") << "2,5"
                                               << "2s"
                                               << "0004";
}

void TestPresenterTimerEntry::normalised()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, halfSeconds);

    WindowFixture f;
    f.showPage(Presenter);
    auto* delay = f.control<QComboBox>("cmbPresenterDelay");
    auto* custom = f.control<QLineEdit>("txtPresenterDelay");
    QVERIFY(custom->isHidden());
    QCOMPARE(delay->itemText(delay->count() - 1), QStringLiteral("Custom"));
    delay->setCurrentIndex(delay->count() - 1);
    QVERIFY(custom->isVisible());

    QString seenByClick;
    connect(f.control<QAbstractButton>("butDownload"), &QAbstractButton::clicked, custom,
            [&] { seenByClick = custom->text(); });
    if (!typed.isNull()) {
        WindowFixture::type(custom, typed);
        QCOMPARE(custom->text(), typed); // nothing changes while typing
    }
    // Typed, then straight to "Store Settings": the box is normalised before the click acts.
    f.storeFromMainPage();
    QCOMPARE(seenByClick, text);
    const std::vector<std::string> expected{qbx::clearFrame("5", "00FF"),
                                            qbx::setFrame("5", halfSeconds.toStdString()), qbx::storeFrame()};
    QCOMPARE(f.port.writes(), expected);

    // Only "Custom" shows the box; other choices keep its text.
    for (int i = 0; i < delay->count(); ++i) {
        delay->setCurrentIndex(i);
        QCOMPARE(!custom->isHidden(), i == delay->count() - 1);
        QCOMPARE(custom->text(), text);
    }
}

QTEST_MAIN(TestPresenterTimerEntry)
#include "testpresentertimerentry.moc"