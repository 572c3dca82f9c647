#include "framescript.h"
#include "recordingport.h"
#include "settings/catalogue.h"
#include "settings/choices.h"
#include "settings/entrynormalise.h"
#include "settings/framedecoder.h"
#include "settings/frames.h"
#include "settings/leadingnumber.h"
#include "settings/store.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <limits>
#include <map>

using qbx::ControlSnapshot;
using namespace qbx::test;
using Call = RecordingPort::Call;

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

ControlSnapshot randomSnapshot(QRandomGenerator& rng)
{
    ControlSnapshot snapshot;
    for (std::size_t step = 0; step < qbx::kSettingCount; ++step) {
        const auto entries = int(qbx::catalogue()[step].entries.size());
        snapshot.selection[step] = entries > 0 ? rng.bounded(entries) : 0;
    }
    snapshot.adjustCutPos = rng.bounded(2) == 1;
    // Beyond every limit as often as within: reading the text boxes is proven by the examples.
    snapshot.cutOffsetQuarters = rng.bounded(-1000, 1000);
    snapshot.presenterDelayHalfSeconds = rng.bounded(-1000, 1000);
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
void checkProfileRoundTrip(const ControlSnapshot& snapshot, const std::string& bytes)
{
    const std::string text = qbx::profileText(snapshot);
    const auto choices = qbx::profileChoices(text);
    QVERIFY(std::holds_alternative<std::vector<std::string>>(choices));
    const auto again = qbx::snapshotFromChoices(std::get<std::vector<std::string>>(choices));
    QVERIFY2(std::holds_alternative<ControlSnapshot>(again), text.c_str());
    RecordingPort port;
    qbx::StoreSettings(port, std::get<ControlSnapshot>(again));
    std::string sent;
    for (const std::string& w : port.writes())
        sent += w;
    QCOMPARE(sent, bytes);
}

// "other 3|Zero Character Style = Slashed|set 9 0001|store", in input order: the byte runs
// between frames, each setting in place of its frames, and the frames of no setting.
struct PieceSink final : qbx::DecodingSink
{
    void frame(const qbx::DecodedFrame& f, std::size_t index, const qbx::RecognisedSetting* s) override
    {
        if (!s)
            add(QString::fromStdString(qbx::frameCommandText(f)));
        else if (index + 1 == s->firstFrame + s->frameCount)
            add(QString::fromStdString(s->name + " = " + s->choice));
    }
    void otherBytes(const qbx::OtherBytes& run) override { add(QStringLiteral("other %1").arg(run.count)); }
    void add(const QString& part) { items += (items.isEmpty() ? "" : "|") + part; }

    QString items;
};

// The bytes decoded in one piece, as PieceSink shows them.
QString layout(std::string_view bytes)
{
    PieceSink sink;
    qbx::FrameStream stream(sink);
    stream.feed(bytes);
    stream.finish();
    return sink.items;
}

} // namespace

// The numbers as read from the text boxes; what "Store Settings" sends, examples and properties
// of every transmission over thousands of random snapshots of the controls; and how the frames
// are read back.
class TestEncoding : public QObject
{
    Q_OBJECT

private slots:
    void reads_data()
    {
        const double inf = std::numeric_limits<double>::infinity();
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("value");

        QTest::newRow("tab, line feed and blank skipped anywhere") << QByteArray("- \t1\n2.\t5 mm") << -12.5;
        QTest::newRow("plus sign") << QByteArray("+7") << 7.0;
        QTest::newRow("minus zero") << QByteArray("-0") << 0.0;
        QTest::newRow("leading point") << QByteArray("-.25mm") << -0.25;
        QTest::newRow("exponent D") << QByteArray("2.5D1") << 25.0;
        QTest::newRow("lower-case d") << QByteArray("1d2") << 100.0;
        QTest::newRow("exponent with plus") << QByteArray("1E+2") << 100.0;
        QTest::newRow("exponent sign without digits") << QByteArray("5E-mm") << 5.0;
        QTest::newRow("two signs") << QByteArray("+-5") << 0.0;
        QTest::newRow("zero with huge exponent") << QByteArray("0e99999") << 0.0;

        // Texts no user types, which must neither hang, wrap nor lose precision.
        QTest::newRow("thousand digits") << QByteArray(1000, '9') << inf;
        QTest::newRow("thousand digits negative") << "-" + QByteArray(1000, '9') << -inf;
        QTest::newRow("exponent beyond long, negative") << QByteArray("1e-") + QByteArray(40, '9') << 0.0;
        QTest::newRow("thousand digits with tiny exponent")
            << QByteArray(1000, '9') + "e-1100" << 9.999999999999999e-101;
        QTest::newRow("megabyte of zeros then 1") << QByteArray(1 << 20, '0') + "1" << 1.0;
        QTest::newRow("fraction of many zeros then 1") << "." + QByteArray(1 << 20, '0') + "1" << 0.0;
        QTest::newRow("smallest denormal") << QByteArray("5e-324") << 5e-324;
        QTest::newRow("below denormal, negative") << QByteArray("-1e-330") << 0.0;
    }

    void reads()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        const double result = qbx::leadingNumber(std::string_view(text.constData(), text.size()));
        // Exact, or within rounding of the last digit; a fuzzy compare would take 1e-100 for 0.
        QVERIFY2(result == value || std::fabs(result - value) <= std::fabs(value) * 1e-15,
                 QByteArray::number(result, 'g', 17).constData());
        QCOMPARE(std::signbit(result), value < 0); // never -0
    }

    // Every test runs under a decimal-comma locale, where the system has one: reading must ignore it.
    void initTestCase() { std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); }

    // Texts as a user types them, through the same leading-number reading the window uses (the
    // window's own boxes, with "12.63", "" and "2.7": TestEntryEditors).
    void normalise_data()
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
            {"12.6", " 12.5mm"},      {"0.125", " 0mm"},     {"0.375", " 0.5mm"},  {"-15", "-10mm"},
            {"40", " 31.75mm"},       {"31.7", " 31.75mm"},  {"-0.25", "-0.25mm"}, {"-0.1", " 0mm"},
            {"99999999", " 31.75mm"}, {"1e300", " 31.75mm"}, {"-1e300", "-10mm"},
        };
        for (const Row& r : cutRows)
            QTest::addRow("cut [%s]", r.typed) << true << r.typed << r.text;

        const Row delayRows[] = {
            {"0.4", "0s"},     {"127.9", "127.5s"},   {"30", "30s"},
            {"200", "127.5s"}, {"1e99999", "127.5s"}, {"-0.3", "0s"},
        };
        for (const Row& r : delayRows)
            QTest::addRow("delay [%s]", r.typed) << false << r.typed << r.text;
    }

    void normalise()
    {
        QFETCH(bool, cut);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        const double value = qbx::leadingNumber(typed.toStdString());
        const std::string result =
            cut ? qbx::cutOffsetText(qbx::normaliseCutOffset(qbx::singlePrecision(value)))
                : qbx::presenterDelayText(qbx::normalisePresenterDelay(value));
        QCOMPARE(QString::fromStdString(result), text);
    }

    void singlePrecision()
    {
        constexpr float kMax = std::numeric_limits<float>::max();
        QCOMPARE(qbx::singlePrecision(-1e300), -kMax); // saturates
        QCOMPARE(qbx::singlePrecision(std::numeric_limits<double>::infinity()), kMax);
        QCOMPARE(qbx::singlePrecision(std::numeric_limits<double>::quiet_NaN()), 0.0f);
    }

    void transmission_data()
    {
        QTest::addColumn<QString>("snapshot");
        QTest::addColumn<QString>("expected");

        const auto row = [](const char* name, const char* snapshot, const char* expected) {
            QTest::newRow(name) << QString::fromLatin1(snapshot) << QString::fromLatin1(expected);
        };
        row("index past the list", "code-page=42", "");
        row("negative index", "zero-style=-1", "");
        row("fixed value: clear only", "print-speed=1", "clear 2 0030");
        row("timer: set only", "presenter-delay=6", "set 5 00FF");
        row("density last darker", "print-density=3", "clear 2 0007, set 2 0001");
        row("code page end of 1st run", "code-page=22", "clear 3 FF00, set 3 1500");
        row("code page end of 2nd run", "code-page=25", "clear 3 FF00, set 3 2200");
        row("code page start of 3rd run", "code-page=26", "clear 3 FF00, set 3 4000");
        row("cut unticked", "uncut= 12.5mm", "");
        row("cut tie down to even", "cut=0.125", "clear 2 FF00, set 2 0000");
        row("cut tie up to even", "cut=0.375", "clear 2 FF00, set 2 0200");
        // Numbers the editor never leaves behind must still not wrap into another byte (the cut
        // offset's limits in the frame: randomSnapshots).
        row("cut infinite", "cut=1e99999", "clear 2 FF00, set 2 7F00");
        row("delay tie down to even", "delay=0.25", "clear 5 00FF, set 5 0000");
        row("delay tie up to even", "delay=0.75", "clear 5 00FF, set 5 0002");
        row("delay infinite", "delay=1e99999", "clear 5 00FF, set 5 00FF");

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

    void transmission()
    {
        QFETCH(QString, snapshot);
        QFETCH(QString, expected);

        const ControlSnapshot s = snapshotOf(snapshot);
        for (int click = 0; click < 2; ++click) { // a second click sends the same
            RecordingPort port;
            qbx::StoreSettings(port, s);
            std::vector<Call> calls{{Call::Open, {}}};
            for (const std::string& frame : framesOf(expected + QStringLiteral(", store")))
                calls.push_back({Call::Write, frame});
            calls.push_back({Call::Close, {}});
            QVERIFY(port.calls == calls);
        }
    }

    void randomSnapshots()
    {
        QRandomGenerator rng(2024);
        for (int round = 0; round < 5000; ++round) {
            const ControlSnapshot snapshot = randomSnapshot(rng);
            RecordingPort port;
            qbx::StoreSettings(port, snapshot);

            // Opening, closing and the store frame last: transmission.
            const std::vector<std::string> writes = port.writes();
            std::string bytes;
            for (const std::string& w : writes)
                bytes += w;
            checkDecodesBack(snapshot, bytes); // every frame whole and well formed, nothing else sent
            checkProfileRoundTrip(snapshot, bytes);
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

    void decodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");

        const QByteArray set = frames("set 1 0010");
        QTest::newRow("text around frames") << "abc" + set + "\r\n" + frames("self-test")
                                            << "other 3|Zero Character Style = Slashed|other 2|self-test";
        QTest::newRow("truncated frame, then a whole one")
            << set.left(5) + set << "other 5|Zero Character Style = Slashed";
        // Each broken in one way: a non-hex last mask digit, no final NUL, no line feed, a switch that is
        // no letter or digit, an unknown operation.
        QTest::newRow("frame shapes that are no frame")
            << frames("set 1 000G") + set.left(10) + 'x' + set.left(9) + 'x' + set.right(1) +
                   frames("set ! 0010") + QByteArray::fromHex("1b1d232a31303031300a00")
            << "other 55";
        // The ESC after frames still held back, as the start of a cut offset, at the end.
        QTest::newRow("lone ESC at the end")
            << frames("store, clear 2 FF00") + '\x1b' << "store|clear 2 FF00|other 1";
        QTest::newRow("frames of no setting, lower-case switch, mask kept as sent")
            << frames("set a 0001, set 9 00af, set 2 8A00") << "set a 0001|set 9 00af|set 2 8A00";
        QTest::newRow("masks in either case, texts as the printer spells them")
            << frames("clear 6 000f, set 6 0004, clear 6 000F, set 6 0004, set 6 1000")
            << "Presenter Behaviour = Print Strainght Through (Journal)|"
               "Presenter Behaviour = Print Strainght Through (Journal)|Auto Loading = Dissable";
        // The cut offsets' and delays' whole ranges: randomSnapshots decodes them back.
        QTest::newRow("cut offsets either side of zero")
            << frames("clear 2 FF00, set 2 0A00, clear 2 FF00, set 2 8A00")
            << "Adjust Cut Position = 2.5 mm|Adjust Cut Position = -2.5 mm";
        // A custom delay equal to an entry reads as the entry; 127.5 s is not the single-frame maximum.
        QTest::newRow("custom delays") << frames("clear 5 00FF, set 5 000A, clear 5 00FF, set 5 00FF")
                                       << "Presenter Timer = 5 seconds|Presenter Timer = Custom 127.5s";
    }

    void decodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(layout(std::string_view(bytes.constData(), bytes.size())), expected);
    }

    void bitsText()
    {
        QCOMPARE(qbx::bitsText("8A0b"),
                 std::string("bits 0-1, 3, 9, 11, 15")); // runs, single bits, lower case
        QCOMPARE(qbx::bitsText("0000"), std::string("no bits"));
    }

    // Random bytes, with real frames spliced in whole and cut short: every byte ends up either in
    // a frame or among the other bytes, exactly once, and a stream fed in random pieces decodes
    // exactly as the whole. A frame that can be part of no longer setting is not held back for
    // more input: a self-test frame at the end is decoded before the input ends.
    void arbitraryInputIsAccountedFor()
    {
        QRandomGenerator random(20261206);
        const std::string pieces[] = {qbx::setFrame("3", "FF00"), qbx::clearFrame("5", "00FF"),
                                      qbx::storeFrame(),          qbx::selfTestFrame(),
                                      std::string("\x1b\x1d#"),   std::string("\x1b")};
        for (int round = 0; round < 3000; ++round) {
            std::string input;
            const int parts = random.bounded(12);
            for (int p = 0; p < parts; ++p) {
                const std::string& piece = pieces[random.bounded(int(std::size(pieces)))];
                if (random.bounded(2))
                    input += piece.substr(0, random.bounded(int(piece.size()) + 1));
                else
                    for (int n = random.bounded(16); n > 0; --n)
                        input += static_cast<char>(random.bounded(256));
            }
            input += qbx::selfTestFrame();
            const qbx::FrameDecoding d = qbx::decodeFrames(input);
            PieceSink pieces;
            qbx::FrameStream stream(pieces);
            for (std::size_t at = 0; at < input.size();) {
                const std::size_t n = std::min<std::size_t>(random.bounded(14), input.size() - at);
                stream.feed(std::string_view(input).substr(at, n));
                at += n;
            }
            QVERIFY(pieces.items.endsWith(QStringLiteral("self-test")));
            stream.finish();
            QCOMPARE(pieces.items, layout(input));
            QCOMPARE(stream.byteCount(), input.size());
            std::size_t covered = d.otherByteCount();
            for (const qbx::DecodedFrame& f : d.frames) {
                QCOMPARE(input.compare(f.offset, f.bytes.size(), f.bytes), 0);
                covered += f.bytes.size();
            }
            QCOMPARE(covered, input.size());
            for (const qbx::RecognisedSetting& s : d.settings)
                QVERIFY(s.firstFrame + s.frameCount <= d.frames.size());
        }
    }
};

QTEST_APPLESS_MAIN(TestEncoding)
#include "testencoding.moc"
