#include "catalogue.h"
#include "settingkeys.h"

#include <QTest>

class TestSettingKeys : public QObject
{
    Q_OBJECT

private slots:
    void keysOfTheCatalogue();
    void controlNames_data();
    void controlNames();
    void unknownKeys_data();
    void unknownKeys();
};

// The keys scripts are written against, in catalogue order: renaming one breaks them.
void TestSettingKeys::keysOfTheCatalogue()
{
    const QStringList expected{
        "zero-style", "int-char-set", "code-page",           "char-spacing",    "line-spacing",
        "cr-code",    "print-speed",  "print-density",       "print-width",     "auto-load",
        "ne-sensor",  "ne-type",      "ne-sig-level",        "ne-signal",       "start-pos-detect",
        "top-search", "cut-offset",   "presenter-behaviour", "presenter-delay", "asb",
        "nsb",        "pres-status",
    };
    QStringList keys;
    for (std::size_t step = 0; step < qbx::kSettingCount; ++step) {
        const std::string key = qbx::cli::settingKey(qbx::catalogue()[step].control);
        keys << QString::fromStdString(key);
        QCOMPARE(qbx::cli::findSettingByKey(key), std::optional<std::size_t>(step));
    }
    QCOMPARE(keys, expected);
}

void TestSettingKeys::controlNames_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("key");

    QTest::newRow("capital run before a word") << "cmbCRCode"
                                               << "cr-code";
    QTest::newRow("capital run inside") << "cmbNESigLevel"
                                        << "ne-sig-level";
    QTest::newRow("capital run alone") << "cmbASB"
                                       << "asb";
    QTest::newRow("text box prefix") << "txtCutOffset"
                                     << "cut-offset";
    QTest::newRow("check box prefix") << "chk_AdjustCutPos"
                                      << "adjust-cut-pos";
    QTest::newRow("capital run at the end") << "cmbPrintCR"
                                            << "print-cr";
}

void TestSettingKeys::controlNames()
{
    QFETCH(QString, control);
    QFETCH(QString, key);
    QCOMPARE(QString::fromStdString(qbx::cli::settingKey(control.toStdString())), key);
}

void TestSettingKeys::unknownKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("control name") << "cmbASB";
    QTest::newRow("label") << "Code Page";
    QTest::newRow("empty") << "";
    QTest::newRow("prefix of a key") << "code";
}

void TestSettingKeys::unknownKeys()
{
    QFETCH(QString, key);
    QVERIFY(!qbx::cli::findSettingByKey(key.toStdString()));
}

QTEST_GUILESS_MAIN(TestSettingKeys)
#include "testsettingkeys.moc"
