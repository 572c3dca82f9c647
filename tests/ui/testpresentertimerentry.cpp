#include "frames.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QComboBox>

using namespace qbx::test;

namespace {

struct Entry
{
    WindowFixture f;
    QComboBox* delay = f.control<QComboBox>("cmbPresenterDelay");
    QLineEdit* custom = f.control<QLineEdit>("txtPresenterDelay");

    Entry() { f.showPage(Presenter); }

    void chooseCustom() const { delay->setCurrentIndex(delay->findText(QStringLiteral("Custom"))); }
};

} // namespace

class TestPresenterTimerEntry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { verifyLocaleAsAsked(); }
    void shownOnlyForCustomAndTextKept();
    void normalised_data();
    void normalised();
};

void TestPresenterTimerEntry::shownOnlyForCustomAndTextKept()
{
    Entry e;
    QVERIFY(e.custom->isHidden());
    QCOMPARE(e.delay->itemText(e.delay->count() - 1), QStringLiteral("Custom"));
    e.chooseCustom();
    QCOMPARE(e.custom->text(), QStringLiteral("30s"));
    WindowFixture::type(e.custom, QStringLiteral("12"));
    QTest::keyClick(e.custom, Qt::Key_Tab);
    QTRY_COMPARE(e.custom->text(), QStringLiteral("12s"));
    for (int i = 0; i < e.delay->count(); ++i) {
        e.delay->setCurrentIndex(i);
        QCOMPARE(e.custom->isVisible(), i == e.delay->count() - 1);
        QCOMPARE(e.custom->text(), QStringLiteral("12s"));
    }
}

void TestPresenterTimerEntry::normalised_data()
{
    QTest::addColumn<QString>("typed"); // null: the box is left as it starts
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("halfSeconds"); // the timer's value in the frame sent

    // The rounding itself is proven on the shared normalisation; these show the box, the text
    // written back and what "Store Settings" then sends agree.
    const auto add = [](const char* row, const char* typed, const char* text, const char* sent) {
        QTest::newRow(row) << QString::fromLatin1(typed) << QString::fromLatin1(text)
                           << QString::fromLatin1(sent);
    };
    add("never edited sends 30 s", nullptr, "30s", "003C");
    add("rounds down to half seconds", "2.7", "2.5s", "0005");
    add("rounds down, then limited to zero", "-0.3", "0s", "0000");
    add("far above is limited to the timer", "200", "127.5s", "00FF");
    add("empty", "", "0s", "0000");
    add("comma is no decimal point", "2,5", "2s", "0004");
}

void TestPresenterTimerEntry::normalised()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, halfSeconds);

    Entry e;
    e.chooseCustom();
    QString seenByClick;
    connect(e.f.control<QAbstractButton>("butDownload"), &QAbstractButton::clicked, e.custom,
            [&] { seenByClick = e.custom->text(); });
    if (!typed.isNull()) {
        WindowFixture::type(e.custom, typed);
        QCOMPARE(e.custom->text(), typed); // nothing changes while typing
    }
    // Typed, then straight to "Store Settings": the box is normalised before the click acts.
    e.f.storeFromMainPage();
    QCOMPARE(seenByClick, text);
    QCOMPARE(e.custom->text(), text);
    const std::vector<std::string> expected{qbx::clearFrame("5", "00FF"),
                                            qbx::setFrame("5", halfSeconds.toStdString()), qbx::storeFrame()};
    QCOMPARE(e.f.port.writes(), expected);
}

QTEST_MAIN(TestPresenterTimerEntry)
#include "testpresentertimerentry.moc"
