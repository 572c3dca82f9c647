#include "catalogue.h"
#include "choices.h"
#include "framedecoder.h"
#include "frames.h"
#include "recordingport.h"
#include "store.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <map>

using qbx::ControlSnapshot;
using qbx::test::RecordingPort;

// Properties of every transmission, over thousands of random snapshots of the controls.
class TestStoreProperties : public QObject
{
    Q_OBJECT

private slots:
    void randomSnapshots_data();
    void randomSnapshots();
};

namespace {

// The bits the printer lets this program write, per switch, as the printer's manual lists them.
const std::map<char, unsigned> kWritableBits = {
    {'1', 0x000F | 0x0010 | 0x0100 | 0x0200},
    {'2', 0x0007 | 0x0030 | 0xFF00},
    {'3', 0x0001 | 0x0002 | 0x0010 | 0xFF00},
    {'4', 0x0007},
    {'5', 0x00FF},
    {'6', 0x000F | 0x0010 | 0x1000},
    {'7', 0x0100 | 0x1000},
    {'A', 0x0010 | 0x0100 | 0x0200 | 0x0400},
};

QString randomText(QRandomGenerator& rng)
{
    static const char kAlphabet[] = "0123456789.,-+ eEdDms\t";
    QString text;
    const int length = rng.bounded(12);
    for (int i = 0; i < length; ++i)
        text += QLatin1Char(kAlphabet[rng.bounded(int(sizeof kAlphabet) - 1)]);
    return text;
}

ControlSnapshot randomSnapshot(QRandomGenerator& rng)
{
    ControlSnapshot snapshot;
    for (std::size_t step = 0; step < qbx::kSettingCount; ++step) {
        const auto entries = int(qbx::catalogue()[step].entries.size());
        snapshot.selection[step] = entries > 0 ? rng.bounded(entries) : 0;
    }
    snapshot.adjustCutPos = rng.bounded(2) == 1;
    // Half the numbers as the window reads them from its text boxes, half beyond every limit.
    if (rng.bounded(2) == 1) {
        snapshot.cutOffsetQuarters = qbx::cutOffsetQuarters(randomText(rng).toStdString());
        snapshot.presenterDelayHalfSeconds = qbx::presenterDelayHalfSeconds(randomText(rng).toStdString());
    } else {
        snapshot.cutOffsetQuarters = rng.bounded(-1000, 1000);
        snapshot.presenterDelayHalfSeconds = rng.bounded(-1000, 1000);
    }
    return snapshot;
}

// Decoding the transmission names every setting that sent frames, in catalogue order, with the
// entry that was chosen.
void checkDecodesBack(const ControlSnapshot& snapshot, const std::vector<std::string>& writes)
{
    std::string bytes;
    for (const std::string& w : writes)
        bytes += w;
    const qbx::FrameDecoding decoding = qbx::decodeFrames(bytes);
    QCOMPARE(decoding.otherByteCount(), std::size_t(0));

    std::vector<std::size_t> sent;
    for (std::size_t step = 0; step < qbx::kSettingCount; ++step)
        if (!qbx::settingCommands(step, snapshot).empty())
            sent.push_back(step);
    QCOMPARE(decoding.settings.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const qbx::RecognisedSetting& r = decoding.settings[i];
        QCOMPARE(r.step, sent[i]);
        const auto entries = qbx::catalogue()[r.step].entries;
        const bool listChoice = !entries.empty() && r.step != qbx::presenterDelayStep();
        if (listChoice)
            QCOMPARE(r.choice, std::string(entries[snapshot.selection[r.step]].text));
        // Numbers beyond the printer's limits are sent at the nearest limit, never wrapped.
        if (entries.empty())
            QCOMPARE(r.number,
                     std::clamp(snapshot.cutOffsetQuarters, qbx::kMinCutQuarters, qbx::kMaxCutQuarters));
        else if (!listChoice && r.entry == int(qbx::customDelayEntry()))
            QCOMPARE(r.number, std::clamp(snapshot.presenterDelayHalfSeconds, 0, qbx::kMaxDelayHalfSeconds));
    }
}

// The profile that `decode --profile` writes from the bytes makes `store --from` send them again.
void checkProfileRoundTrip(const std::string& bytes)
{
    qbx::ProfileSink sink;
    qbx::FrameStream stream(sink);
    stream.feed(bytes);
    stream.finish();
    const auto profile = sink.profile();
    const auto* text = std::get_if<std::string>(&profile);
    if (!text)
        QFAIL(std::get<qbx::ChoiceError>(profile).message.c_str());
    const auto choices = qbx::profileChoices(*text);
    QVERIFY(std::holds_alternative<std::vector<std::string>>(choices));
    const auto again = qbx::snapshotFromChoices(std::get<std::vector<std::string>>(choices));
    QVERIFY2(std::holds_alternative<ControlSnapshot>(again), text->c_str());
    RecordingPort port;
    qbx::StoreSettings(port, std::get<ControlSnapshot>(again));
    std::string sent;
    for (const std::string& w : port.writes())
        sent += w;
    QCOMPARE(sent, bytes);
}

} // namespace

void TestStoreProperties::randomSnapshots_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 7u, 42u, 2024u, 65535u})
        QTest::addRow("seed %u", seed) << seed;
}

void TestStoreProperties::randomSnapshots()
{
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);

    for (int round = 0; round < 1000; ++round) {
        const ControlSnapshot snapshot = randomSnapshot(rng);
        RecordingPort port;
        qbx::StoreSettings(port, snapshot);

        QCOMPARE(port.calls.front().kind, RecordingPort::Call::Open);
        QCOMPARE(port.calls.back().kind, RecordingPort::Call::Close);
        const std::vector<std::string> writes = port.writes();
        QVERIFY(writes.size() >= 1 && writes.size() <= 31);
        QCOMPARE(writes.back(), qbx::storeFrame());

        checkDecodesBack(snapshot, writes); // every frame whole and well formed, nothing else sent
        std::string bytes;
        for (const std::string& w : writes)
            bytes += w;
        checkProfileRoundTrip(bytes);
        if (QTest::currentTestFailed())
            return;
        for (std::size_t i = 0; i + 1 < writes.size(); ++i) {
            const std::string& f = writes[i];
            QVERIFY2(kWritableBits.count(f[4]), f.c_str());
            const unsigned bits = std::stoul(f.substr(5, 4), nullptr, 16);
            QVERIFY2((bits & ~kWritableBits.at(f[4])) == 0, f.c_str());
        }
    }
}

QTEST_APPLESS_MAIN(TestStoreProperties)
#include "teststoreproperties.moc"
