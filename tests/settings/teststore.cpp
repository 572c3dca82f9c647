#include "catalogue.h"
#include "frames.h"
#include "recordingport.h"
#include "store.h"

#include <QStringList>
#include <QTest>

using qbx::ControlSnapshot;
using qbx::test::RecordingPort;
using Call = RecordingPort::Call;

Q_DECLARE_METATYPE(qbx::ControlSnapshot)

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void entryFrames_data();
    void entryFrames();
    void cutOffsetFrames_data();
    void cutOffsetFrames();
    void customDelayFrames_data();
    void customDelayFrames();
    void entryTexts_data();
    void entryTexts();
    void transmission_data();
    void transmission();
    void secondClickSendsTheSame();
};

namespace {

// "clear 1 000F, set 1 0003" as the frames the printer receives.
std::vector<std::string> frames(const QString& script)
{
    std::vector<std::string> result;
    for (const QString& command : script.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList words = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const std::string sw = words.at(1).toStdString();
        const std::string mask = words.at(2).toStdString();
        result.push_back(words.at(0) == QLatin1String("set") ? qbx::setFrame(sw, mask)
                                                             : qbx::clearFrame(sw, mask));
    }
    return result;
}

std::vector<std::string> storeWrites(const ControlSnapshot& snapshot)
{
    RecordingPort port;
    qbx::StoreSettings(port, snapshot);
    return port.writes();
}

// The writes of one transmission without its store frame, after checking its shape.
std::vector<std::string> settingWrites(const ControlSnapshot& snapshot)
{
    RecordingPort port;
    qbx::StoreSettings(port, snapshot);
    if (port.calls.size() < 3 || port.calls.front().kind != Call::Open ||
        port.calls.back().kind != Call::Close || port.calls[port.calls.size() - 2].data != qbx::storeFrame())
        qFatal("Store Settings did not send open ... store frame, close");
    std::vector<std::string> writes = port.writes();
    writes.pop_back();
    return writes;
}

} // namespace

void TestStore::entryFrames_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("expected");

    struct OneBit
    {
        const char* control;
        const char* sw;
        const char* mask;
    };
    const OneBit oneBits[] = {
        {"cmbZeroStyle", "1", "0010"},   {"cmbCharSpacing", "3", "0010"},
        {"cmbLineSpacing", "3", "0001"}, {"cmbCRCode", "3", "0002"},
        {"cmbAutoLoad", "6", "1000"},    {"cmbNESensor", "A", "0100"},
        {"cmbNEType", "A", "0200"},      {"cmbNESigLevel", "A", "0400"},
        {"cmbNESignal", "A", "0010"},    {"cmbStartPosDetect", "1", "0100"},
        {"cmbTopSearch", "1", "0200"},   {"cmbASB", "7", "1000"},
        {"cmbNSB", "7", "0100"},         {"cmbPresStatus", "6", "0010"},
    };
    for (const OneBit& b : oneBits) {
        QTest::addRow("%s no change", b.control) << b.control << 0 << "";
        QTest::addRow("%s entry 1 clears", b.control)
            << b.control << 1 << QStringLiteral("clear %1 %2").arg(b.sw, b.mask);
        QTest::addRow("%s entry 2 sets", b.control)
            << b.control << 2 << QStringLiteral("set %1 %2").arg(b.sw, b.mask);
    }

    QTest::newRow("full speed single clear") << "cmbPrintSpeed" << 1 << "clear 2 0030";
    QTest::newRow("medium speed") << "cmbPrintSpeed" << 2 << "clear 2 0030, set 2 0010";
    QTest::newRow("low speed") << "cmbPrintSpeed" << 3 << "clear 2 0030, set 2 0020";
    QTest::newRow("104 mm single clear") << "cmbPrintWidth" << 1 << "clear 4 0007";
    QTest::newRow("80 mm") << "cmbPrintWidth" << 2 << "clear 4 0007, set 4 0001";
    QTest::newRow("72 mm") << "cmbPrintWidth" << 3 << "clear 4 0007, set 4 0002";

    QTest::newRow("command driven single clear") << "cmbPresenterDelay" << 1 << "clear 5 00FF";
    QTest::newRow("0.5 seconds") << "cmbPresenterDelay" << 2 << "clear 5 00FF, set 5 0001";
    QTest::newRow("5 seconds") << "cmbPresenterDelay" << 3 << "clear 5 00FF, set 5 000A";
    QTest::newRow("10 seconds") << "cmbPresenterDelay" << 4 << "clear 5 00FF, set 5 0014";
    QTest::newRow("30 seconds") << "cmbPresenterDelay" << 5 << "clear 5 00FF, set 5 003C";
    QTest::newRow("127.5 seconds single set") << "cmbPresenterDelay" << 6 << "set 5 00FF";

    const char* charSets[] = {"0000", "0001", "0002", "0003", "0004", "0005", "0006", "0007",
                              "0008", "0009", "000A", "000B", "000C", "000D", "000E", "000F"};
    for (int i = 1; i <= 16; ++i)
        QTest::addRow("int char set %d", i)
            << "cmbIntCharSet" << i << QStringLiteral("clear 1 000F, set 1 %1").arg(charSets[i - 1]);

    for (int i = 1; i <= 5; ++i)
        QTest::addRow("presenter behaviour %d lower-case clear", i)
            << "cmbPresenterBehaviour" << i << QStringLiteral("clear 6 000f, set 6 000%1").arg(i - 1);

    const char* densities[] = {"0003", "0002", "0001", "0004", "0005", "0006", "0007"};
    for (int i = 1; i <= 7; ++i)
        QTest::addRow("print density %d", i)
            << "cmbPrintDensity" << i << QStringLiteral("clear 2 0007, set 2 %1").arg(densities[i - 1]);

    const std::pair<int, const char*> codePages[] = {
        {1, "0000"},  {2, "0100"},  {11, "0A00"}, {16, "0F00"}, {17, "1000"}, {22, "1500"}, {23, "2000"},
        {24, "2100"}, {25, "2200"}, {26, "4000"}, {27, "4100"}, {34, "4800"}, {40, "4E00"}, {41, "4F00"},
    };
    for (const auto& [entry, value] : codePages)
        QTest::addRow("code page %d", entry)
            << "cmbCodePage" << entry << QStringLiteral("clear 3 FF00, set 3 %1").arg(value);

    QTest::newRow("index beyond the list sends nothing") << "cmbCodePage" << 42 << "";
    QTest::newRow("negative index sends nothing") << "cmbZeroStyle" << -1 << "";
}

void TestStore::entryFrames()
{
    QFETCH(QString, control);
    QFETCH(int, entry);
    QFETCH(QString, expected);

    ControlSnapshot snapshot;
    snapshot[control.toStdString()] = entry;
    QVERIFY(settingWrites(snapshot) == frames(expected));
}

void TestStore::cutOffsetFrames_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("12.5 mm") << true << " 12.5mm"
                             << "clear 2 FF00, set 2 3200";
    QTest::newRow("-2.5 mm sign and magnitude") << true << "-2.5mm"
                                                << "clear 2 FF00, set 2 8A00";
    QTest::newRow("-10 mm") << true << "-10mm"
                            << "clear 2 FF00, set 2 A800";
    QTest::newRow("31.75 mm") << true << " 31.75mm"
                              << "clear 2 FF00, set 2 7F00";
    QTest::newRow("empty text is 0") << true << ""
                                     << "clear 2 FF00, set 2 0000";
    QTest::newRow("short form of a fraction") << true << " .5mm"
                                              << "clear 2 FF00, set 2 0200";
    QTest::newRow("quarter tie goes to even") << true << "0.125"
                                              << "clear 2 FF00, set 2 0000";
    QTest::newRow("unticked sends nothing") << false << " 12.5mm"
                                            << "";
    // Texts the editor never leaves behind must still not wrap into another byte.
    QTest::newRow("above range limited") << true << "40"
                                         << "clear 2 FF00, set 2 7F00";
    QTest::newRow("below range limited") << true << "-15mm"
                                         << "clear 2 FF00, set 2 A800";
    QTest::newRow("count beyond 16 bits limited") << true << "99999999"
                                                  << "clear 2 FF00, set 2 7F00";
    QTest::newRow("infinity limited") << true << "1e99999"
                                      << "clear 2 FF00, set 2 7F00";
    QTest::newRow("negative infinity limited") << true << "-1e99999"
                                               << "clear 2 FF00, set 2 A800";
}

void TestStore::cutOffsetFrames()
{
    QFETCH(bool, ticked);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    ControlSnapshot snapshot;
    snapshot.adjustCutPos = ticked;
    snapshot.cutOffsetText = text.toStdString();
    QVERIFY(settingWrites(snapshot) == frames(expected));
}

void TestStore::customDelayFrames_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("30 s") << "30s"
                          << "clear 5 00FF, set 5 003C";
    QTest::newRow("2.5 s") << "2.5s"
                           << "clear 5 00FF, set 5 0005";
    QTest::newRow("127.5 s") << "127.5s"
                             << "clear 5 00FF, set 5 00FF";
    QTest::newRow("empty is 0") << ""
                                << "clear 5 00FF, set 5 0000";
    QTest::newRow("comma reads the whole part") << "2,5s"
                                                << "clear 5 00FF, set 5 0004";
    QTest::newRow("quarter second tie to even") << "0.25"
                                                << "clear 5 00FF, set 5 0000";
    QTest::newRow("above the byte limited") << "200s"
                                            << "clear 5 00FF, set 5 00FF";
    QTest::newRow("negative limited") << "-0.5s"
                                      << "clear 5 00FF, set 5 0000";
    QTest::newRow("infinity limited") << "1e99999"
                                      << "clear 5 00FF, set 5 00FF";
}

void TestStore::customDelayFrames()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    ControlSnapshot snapshot;
    snapshot["cmbPresenterDelay"] = 7;
    snapshot.presenterDelayText = text.toStdString();
    QVERIFY(settingWrites(snapshot) == frames(expected));
}

void TestStore::entryTexts_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");

    QTest::newRow("auto load keeps Dissable") << "cmbAutoLoad" << 3 << 2 << "Dissable";
    QTest::newRow("near end sensor lists Enable first") << "cmbNESensor" << 3 << 1 << "Enable";
    QTest::newRow("journal keeps Strainght")
        << "cmbPresenterBehaviour" << 6 << 5 << "Print Strainght Through (Journal)";
    QTest::newRow("code page 2 ends in a blank") << "cmbCodePage" << 42 << 2 << "437(USA,std. Europe) ";
    QTest::newRow("code page 4 has none") << "cmbCodePage" << 42 << 4 << "437(USA,std. Europe)";
    QTest::newRow("code page last") << "cmbCodePage" << 42 << 41 << "3041 (Maltese)";
    QTest::newRow("custom delay last") << "cmbPresenterDelay" << 8 << 7 << "Custom";
    QTest::newRow("pres status default marked") << "cmbPresStatus" << 3 << 1 << "Disable (default)";
    QTest::newRow("int char set last") << "cmbIntCharSet" << 17 << 16 << "Legal";
    QTest::newRow("density darkest") << "cmbPrintDensity" << 8 << 1 << "130% (Darkest)";
}

void TestStore::entryTexts()
{
    QFETCH(QString, control);
    QFETCH(int, count);
    QFETCH(int, entry);
    QFETCH(QString, text);

    const auto step = qbx::findSetting(control.toStdString());
    QVERIFY(step);
    const auto entries = qbx::catalogue()[*step].entries;
    QCOMPARE(int(entries.size()), count);
    QCOMPARE(QString::fromUtf8(entries[0].text.data(), entries[0].text.size()), QStringLiteral("No Change"));
    QCOMPARE(QString::fromUtf8(entries[entry].text.data(), entries[entry].text.size()), text);
}

void TestStore::transmission_data()
{
    QTest::addColumn<ControlSnapshot>("snapshot");
    QTest::addColumn<QString>("expected");

    QTest::newRow("all no change sends the store frame only") << ControlSnapshot{} << "";

    ControlSnapshot slashedUk;
    slashedUk["cmbZeroStyle"] = 2;
    slashedUk["cmbIntCharSet"] = 4;
    QTest::newRow("slashed and UK as three frames") << slashedUk << "set 1 0010, clear 1 000F, set 1 0003";

    // The longest transmission: every two-frame choice, in catalogue order.
    ControlSnapshot all;
    all["cmbZeroStyle"] = 2;
    all["cmbIntCharSet"] = 16;
    all["cmbCodePage"] = 23;
    all["cmbCharSpacing"] = 1;
    all["cmbLineSpacing"] = 2;
    all["cmbCRCode"] = 2;
    all["cmbPrintSpeed"] = 3;
    all["cmbPrintDensity"] = 4;
    all["cmbPrintWidth"] = 2;
    all["cmbAutoLoad"] = 1;
    all["cmbNESensor"] = 2;
    all["cmbNEType"] = 2;
    all["cmbNESigLevel"] = 1;
    all["cmbNESignal"] = 2;
    all["cmbStartPosDetect"] = 2;
    all["cmbTopSearch"] = 1;
    all.adjustCutPos = true;
    all.cutOffsetText = "-2.5mm";
    all["cmbPresenterBehaviour"] = 5;
    all["cmbPresenterDelay"] = 7;
    all.presenterDelayText = "30s";
    all["cmbASB"] = 2;
    all["cmbNSB"] = 2;
    all["cmbPresStatus"] = 2;
    QTest::newRow("longest sequence in catalogue order")
        << all
        << "set 1 0010, clear 1 000F, set 1 000F, clear 3 FF00, set 3 2000, clear 3 0010, set 3 0001,"
           "set 3 0002, clear 2 0030, set 2 0020, clear 2 0007, set 2 0004, clear 4 0007, set 4 0001,"
           "clear 6 1000, set A 0100, set A 0200, clear A 0400, set A 0010, set 1 0100, clear 1 0200,"
           "clear 2 FF00, set 2 8A00, clear 6 000f, set 6 0004, clear 5 00FF, set 5 003C,"
           "set 7 1000, set 7 0100, set 6 0010";
}

void TestStore::transmission()
{
    QFETCH(ControlSnapshot, snapshot);
    QFETCH(QString, expected);

    RecordingPort port;
    qbx::StoreSettings(port, snapshot);

    std::vector<Call> calls{{Call::Open, {}}};
    for (const std::string& frame : frames(expected))
        calls.push_back({Call::Write, frame});
    calls.push_back({Call::Write, qbx::storeFrame()});
    calls.push_back({Call::Close, {}});
    QCOMPARE(port.calls.size(), calls.size());
    QVERIFY(port.calls == calls);
    for (const std::string& frame : port.writes())
        QCOMPARE(frame.size(), qbx::kSwitchFrameSize);
}

void TestStore::secondClickSendsTheSame()
{
    ControlSnapshot snapshot;
    snapshot["cmbCodePage"] = 22;
    snapshot.adjustCutPos = true;
    snapshot.cutOffsetText = " 12.5mm";
    QVERIFY(storeWrites(snapshot) == storeWrites(snapshot));
}

QTEST_APPLESS_MAIN(TestStore)
#include "teststore.moc"
