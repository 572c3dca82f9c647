#include "framedecoder.h"
#include "frames.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void bitsText_data();
    void bitsText();
    void arbitraryInputIsAccountedFor();
};

namespace {

// "clear 1 000F, set 1 0003, store" as the bytes the printer receives.
QByteArray frames(const char* script)
{
    std::string bytes;
    for (const QByteArray& command : QByteArray(script).split(',')) {
        const QList<QByteArray> words = command.trimmed().split(' ');
        if (words.at(0) == "store")
            bytes += qbx::storeFrame();
        else if (words.at(0) == "self-test")
            bytes += qbx::selfTestFrame();
        else
            bytes += (words.at(0) == "set" ? qbx::setFrame : qbx::clearFrame)(words.at(1).toStdString(),
                                                                              words.at(2).toStdString());
    }
    return QByteArray::fromStdString(bytes);
}

// "other 3|Zero Character Style = Slashed|set 9 0001|store", in input order: the byte runs
// between frames, each setting in place of its frames, and the frames of no setting.
QString layout(const qbx::FrameDecoding& d)
{
    QStringList parts;
    auto other = d.otherBytes.begin();
    auto setting = d.settings.begin();
    for (std::size_t i = 0; i < d.frames.size(); ++i) {
        for (; other != d.otherBytes.end() && other->offset < d.frames[i].offset; ++other)
            parts << QStringLiteral("other %1").arg(other->count);
        if (setting == d.settings.end() || i < setting->firstFrame) {
            parts << QString::fromStdString(qbx::frameCommandText(d.frames[i]));
        } else if (i + 1 == setting->firstFrame + setting->frameCount) {
            parts << QString::fromStdString(setting->name + " = " + setting->choice);
            ++setting;
        }
    }
    for (; other != d.otherBytes.end(); ++other)
        parts << QStringLiteral("other %1").arg(other->count);
    return parts.join(QLatin1Char('|'));
}

// The sink's view as layout() gives it.
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

} // namespace

void TestFrameDecoder::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QByteArray set = frames("set 1 0010");
    QTest::newRow("text around frames") << "abc" + set + "\r\n" + frames("self-test")
                                        << "other 3|Zero Character Style = Slashed|other 2|self-test";
    QTest::newRow("truncated frame, then a whole one")
        << set.left(5) + set << "other 5|Zero Character Style = Slashed";
    QTest::newRow("mask with a non-hex digit") << frames("set 1 00G0") << "other 11";
    QTest::newRow("missing final NUL") << set.left(10) + 'x' << "other 11";
    QTest::newRow("unknown operation") << QByteArray::fromHex("1b1d232a31303031300a00") << "other 11";
    QTest::newRow("lone ESC at the end") << frames("store") + '\x1b' << "store|other 1";
    QTest::newRow("frames of no setting, mask kept as sent")
        << frames("set 9 00af, set 2 8A00") << "set 9 00af|set 2 8A00";
    QTest::newRow("masks in either case, texts as the printer spells them")
        << frames("clear 6 000f, set 6 0004, clear 6 000F, set 6 0004, set 6 1000")
        << "Presenter Behaviour = Print Strainght Through (Journal)|"
           "Presenter Behaviour = Print Strainght Through (Journal)|Auto Loading = Dissable";
    // The cut offsets' and delays' whole ranges: TestStoreProperties decodes them back.
    QTest::newRow("custom delay equal to an entry reads as the entry")
        << frames("clear 5 00FF, set 5 000A") << "Presenter Timer = 5 seconds";
    QTest::newRow("custom 127.5 s is not the single-frame maximum")
        << frames("clear 5 00FF, set 5 00FF") << "Presenter Timer = Custom 127.5s";
}

void TestFrameDecoder::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(layout(qbx::decodeFrames(std::string_view(bytes.constData(), bytes.size()))), expected);
}

void TestFrameDecoder::bitsText_data()
{
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one bit") << QByteArray("0010") << "bit 4";
    QTest::newRow("runs, single bits, lower case") << QByteArray("8A0b") << "bits 0-1, 3, 9, 11, 15";
    QTest::newRow("none") << QByteArray("0000") << "no bits";
}

void TestFrameDecoder::bitsText()
{
    QFETCH(QByteArray, mask);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(qbx::bitsText(mask.toStdString())), expected);
}

// Random bytes, with real frames spliced in whole and cut short: every byte ends up either in
// a frame or among the other bytes, exactly once, and a stream fed in random pieces decodes
// exactly as the whole.
void TestFrameDecoder::arbitraryInputIsAccountedFor()
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
        const qbx::FrameDecoding d = qbx::decodeFrames(input);
        PieceSink pieces;
        qbx::FrameStream stream(pieces);
        for (std::size_t at = 0; at < input.size();) {
            const std::size_t n = std::min<std::size_t>(random.bounded(14), input.size() - at);
            stream.feed(std::string_view(input).substr(at, n));
            at += n;
        }
        stream.finish();
        QCOMPARE(pieces.items, layout(d));
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

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "testframedecoder.moc"
