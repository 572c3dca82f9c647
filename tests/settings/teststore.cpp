#include "catalogue.h"
#include "choices.h"
#include "framedecoder.h"
#include "frames.h"
#include "recordingport.h"
#include "store.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <map>

using qbx::ControlSnapshot;
using qbx::test::RecordingPort;
using Call = RecordingPort::Call;

// What "Store Settings" sends: examples, and properties of every transmission over thousands of
// random snapshots of the controls.
class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void transmission_data();
    void transmission();
    void randomSnapshots_data();
    void randomSnapshots();
};

namespace {

// "zero-style=2; cut=-2.5mm; delay=30s": "cut" ticks the box, "uncut" leaves it unticked; the
// texts are read as the window reads its text boxes.
ControlSnapshot snapshotOf(const QString& script)
{
    ControlSnapshot snapshot;
    for (const QString& part : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString key = part.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = part.section(QLatin1Char('='), 1);
        if (key == QLatin1String("cut") || key == QLatin1String("uncut")) {
            snapshot.adjustCutPos = key == QLatin1String("cut");
            snapshot.cutOffsetQuarters = qbx::cutOffsetQuarters(value.toStdString());
        } else if (key == QLatin1String("delay")) {
            snapshot.selection[qbx::presenterDelayStep()] = int(qbx::customDelayEntry());
            snapshot.presenterDelayHalfSeconds = qbx::presenterDelayHalfSeconds(value.toStdString());
        } else {
            snapshot.selection[qbx::findSettingByKey(key.toStdString()).value()] = value.toInt();
        }
    }
    return snapshot;
}

// "clear 1 000F, set 1 0003" as the calls of a whole transmission, store frame included.
std::vector<Call> transmissionOf(const QString& script)
{
    std::vector<Call> calls{{Call::Open, {}}};
    for (const QString& command : script.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList words = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const std::string sw = words.at(1).toStdString();
        const std::string mask = words.at(2).toStdString();
        calls.push_back({Call::Write, words.at(0) == QLatin1String("set") ? qbx::setFrame(sw, mask)
                                                                          : qbx::clearFrame(sw, mask)});
    }
    calls.push_back({Call::Write, qbx::storeFrame()});
    calls.push_back({Call::Close, {}});
    return calls;
}

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
void checkDecodesBack(const ControlSnapshot& snapshot, const std::string& bytes)
{
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

void TestStore::transmission_data()
{
    QTest::addColumn<QString>("snapshot");
    QTest::addColumn<QString>("expected");

    struct Row
    {
        const char* name;
        const char* snapshot;
        const char* expected;
    };
    const Row rows[] = {
        {"all no change: store frame only", "", ""},
        {"index past the list", "code-page=42", ""},
        {"negative index", "zero-style=-1", ""},
        {"fixed value: clear only", "print-speed=1", "clear 2 0030"},
        {"fixed value: clear and set", "print-width=3", "clear 4 0007, set 4 0002"},
        {"timer: set only", "presenter-delay=6", "set 5 00FF"},
        {"char set upper-case hex", "int-char-set=11", "clear 1 000F, set 1 000A"},
        {"behaviour mask lower-case", "presenter-behaviour=1", "clear 6 000f, set 6 0000"},
        {"density last darker", "print-density=3", "clear 2 0007, set 2 0001"},
        {"code page end of 1st run", "code-page=22", "clear 3 FF00, set 3 1500"},
        {"code page end of 2nd run", "code-page=25", "clear 3 FF00, set 3 2200"},
        {"code page start of 3rd run", "code-page=26", "clear 3 FF00, set 3 4000"},
        {"cut 12.5 mm", "cut= 12.5mm", "clear 2 FF00, set 2 3200"},
        {"cut unticked", "uncut= 12.5mm", ""},
        {"cut tie down to even", "cut=0.125", "clear 2 FF00, set 2 0000"},
        {"cut tie up to even", "cut=0.375", "clear 2 FF00, set 2 0200"},
        // Numbers the editor never leaves behind must still not wrap into another byte (the cut
        // offset's limits in the frame: randomSnapshots).
        {"cut infinite", "cut=1e99999", "clear 2 FF00, set 2 7F00"},
        {"delay tie down to even", "delay=0.25", "clear 5 00FF, set 5 0000"},
        {"delay tie up to even", "delay=0.75", "clear 5 00FF, set 5 0002"},
        {"delay above the byte", "delay=200s", "clear 5 00FF, set 5 00FF"},
        {"delay negative", "delay=-0.5s", "clear 5 00FF, set 5 0000"},
        {"delay infinite", "delay=1e99999", "clear 5 00FF, set 5 00FF"},
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << r.snapshot << r.expected;

    // Every setting sending frames at once: catalogue order, each setting's switch and mask.
    QTest::newRow("every setting in catalogue order")
        << "zero-style=2; int-char-set=16; code-page=23; char-spacing=1; line-spacing=2;"
           "cr-code=2; print-speed=3; print-density=4; print-width=2; auto-load=1;"
           "ne-sensor=2; ne-type=2; ne-sig-level=1; ne-signal=2; start-pos-detect=2;"
           "top-search=1; cut=-2.5mm; presenter-behaviour=5; delay=30s; asb=2; nsb=2;"
           "pres-status=2"
        << "set 1 0010, clear 1 000F, set 1 000F, clear 3 FF00, set 3 2000, clear 3 0010, set 3 0001,"
           "set 3 0002, clear 2 0030, set 2 0020, clear 2 0007, set 2 0004, clear 4 0007, set 4 0001,"
           "clear 6 1000, set A 0100, set A 0200, clear A 0400, set A 0010, set 1 0100, clear 1 0200,"
           "clear 2 FF00, set 2 8A00, clear 6 000f, set 6 0004, clear 5 00FF, set 5 003C,"
           "set 7 1000, set 7 0100, set 6 0010";
}

void TestStore::transmission()
{
    QFETCH(QString, snapshot);
    QFETCH(QString, expected);

    const ControlSnapshot s = snapshotOf(snapshot);
    for (int click = 0; click < 2; ++click) { // a second click sends the same
        RecordingPort port;
        qbx::StoreSettings(port, s);
        QVERIFY(port.calls == transmissionOf(expected));
    }
}

void TestStore::randomSnapshots_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 7u, 42u, 2024u, 65535u})
        QTest::addRow("seed %u", seed) << seed;
}

void TestStore::randomSnapshots()
{
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);

    for (int round = 0; round < 1000; ++round) {
        const ControlSnapshot snapshot = randomSnapshot(rng);
        RecordingPort port;
        qbx::StoreSettings(port, snapshot);

        QCOMPARE(port.calls.front().kind, Call::Open);
        QCOMPARE(port.calls.back().kind, Call::Close);
        const std::vector<std::string> writes = port.writes();
        QVERIFY(writes.size() >= 1 && writes.size() <= 31);
        QCOMPARE(writes.back(), qbx::storeFrame());

        std::string bytes;
        for (const std::string& w : writes)
            bytes += w;
        checkDecodesBack(snapshot, bytes); // every frame whole and well formed, nothing else sent
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

QTEST_APPLESS_MAIN(TestStore)
#include "teststore.moc"
