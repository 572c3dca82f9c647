#include "catalogue.h"
#include "entrynormalise.h"
#include "framedecoder.h"
#include "frames.h"
#include "recordingport.h"
#include "store.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

using qbx::ControlSnapshot;

class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void splitsFrames_data();
    void splitsFrames();
    void namesStoredChoices_data();
    void namesStoredChoices();
    void bitsText_data();
    void bitsText();
    void arbitraryInputIsAccountedFor();
};

namespace {

std::string fromHex(const char* hex)
{
    return QByteArray::fromHex(hex).toStdString();
}

std::string stored(const ControlSnapshot& snapshot)
{
    qbx::test::RecordingPort port;
    qbx::StoreSettings(port, snapshot);
    std::string all;
    for (const std::string& w : port.writes())
        all += w;
    return all;
}

// "clear 1 000F|set 1 0003|other 2" for the frames and byte runs, in input order.
QString layout(const qbx::FrameDecoding& d)
{
    QStringList parts;
    auto other = d.otherBytes.begin();
    for (const qbx::DecodedFrame& f : d.frames) {
        for (; other != d.otherBytes.end() && other->offset < f.offset; ++other)
            parts << QStringLiteral("other %1").arg(other->count);
        parts << QString::fromStdString(qbx::frameCommandText(f));
    }
    for (; other != d.otherBytes.end(); ++other)
        parts << QStringLiteral("other %1").arg(other->count);
    return parts.join(QLatin1Char('|'));
}

QStringList namedChoices(const qbx::FrameDecoding& d)
{
    QStringList names;
    for (const qbx::RecognisedSetting& s : d.settings)
        names << QString::fromStdString(s.name + " = " + s.choice);
    return names;
}

} // namespace

void TestFrameDecoder::splitsFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QByteArray set = QByteArray::fromStdString(qbx::setFrame("1", "0010"));
    const QByteArray store = QByteArray::fromStdString(qbx::storeFrame());
    QTest::newRow("empty input") << QByteArray() << "";
    QTest::newRow("store frame") << store << "store";
    QTest::newRow("self-test frame") << QByteArray::fromStdString(qbx::selfTestFrame()) << "self-test";
    QTest::newRow("lower-case mask kept")
        << QByteArray::fromStdString(qbx::clearFrame("6", "000f")) << "clear 6 000f";
    QTest::newRow("text around frames") << "abc" + set + "\r\n" + store << "other 3|set 1 0010|other 2|store";
    QTest::newRow("truncated frame is other bytes") << set.left(10) << "other 10";
    QTest::newRow("frame after a truncated one") << set.left(5) + set << "other 5|set 1 0010";
    QTest::newRow("mask with a non-hex digit")
        << QByteArray::fromStdString(qbx::setFrame("1", "00G0")) << "other 11";
    QTest::newRow("missing final NUL") << set.left(10) + "x"
                                       << "other 11";
    QTest::newRow("unknown operation")
        << QByteArray::fromStdString(fromHex("1b1d232a31303031300a00")) << "other 11";
    QTest::newRow("lone ESC at the end") << store + "\x1b"
                                         << "store|other 1";
}

void TestFrameDecoder::splitsFrames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(layout(qbx::decodeFrames(std::string_view(bytes.constData(), bytes.size()))), expected);
}

void TestFrameDecoder::namesStoredChoices_data()
{
    QTest::addColumn<ControlSnapshot>("snapshot");
    QTest::addColumn<QStringList>("expected");

    // Every entry of every list, stored alone, reads back as itself.
    for (std::size_t step = 0; step < qbx::kSettingCount; ++step) {
        const qbx::Setting& s = qbx::catalogue()[step];
        for (std::size_t entry = 1; entry < s.entries.size(); ++entry) {
            if (s.rule == qbx::Rule::PresenterDelay && entry == qbx::customDelayEntry())
                continue;
            ControlSnapshot snapshot;
            snapshot.selection[step] = static_cast<int>(entry);
            QTest::addRow("%s #%zu", s.control.data(), entry)
                << snapshot
                << QStringList{QString::fromStdString(std::string(s.label) + " = " +
                                                      std::string(s.entries[entry].text))};
        }
    }

    const auto cut = [](const char* text) {
        ControlSnapshot snapshot;
        snapshot.adjustCutPos = true;
        snapshot.cutOffsetText = text;
        return snapshot;
    };
    QTest::newRow("cut -2.5 mm") << cut("-2.5mm") << QStringList{"Cut Position = -2.5 mm"};
    QTest::newRow("cut 12.5 mm") << cut(" 12.5mm") << QStringList{"Cut Position = 12.5 mm"};
    QTest::newRow("cut -10 mm") << cut("-10mm") << QStringList{"Cut Position = -10 mm"};
    QTest::newRow("cut 31.75 mm") << cut(" 31.75mm") << QStringList{"Cut Position = 31.75 mm"};
    QTest::newRow("cut 0 mm") << cut(" 0mm") << QStringList{"Cut Position = 0 mm"};

    const auto custom = [](const char* text) {
        ControlSnapshot snapshot;
        snapshot["cmbPresenterDelay"] = static_cast<int>(qbx::customDelayEntry());
        snapshot.presenterDelayText = text;
        return snapshot;
    };
    QTest::newRow("custom 2.5 s") << custom("2.5s") << QStringList{"Presenter Timer = Custom 2.5s"};
    QTest::newRow("custom 0 s") << custom("0s") << QStringList{"Presenter Timer = Custom 0s"};
    QTest::newRow("custom equal to an entry reads as the entry")
        << custom("5s") << QStringList{"Presenter Timer = 5 seconds"};
    QTest::newRow("custom 127.5 s is not the single-frame maximum")
        << custom("127.5s") << QStringList{"Presenter Timer = Custom 127.5s"};

    ControlSnapshot several;
    several["cmbZeroStyle"] = 2;
    several["cmbIntCharSet"] = 4;
    several["cmbPrintSpeed"] = 1; // a single clear, followed by the density's clear of the same switch
    several["cmbPrintDensity"] = 4;
    several["cmbPresenterDelay"] = 1;
    several["cmbASB"] = 2;
    several.adjustCutPos = true;
    several.cutOffsetText = "-2.5mm";
    QTest::newRow("neighbours on one switch stay apart")
        << several
        << QStringList{"Zero Character Style = Slashed",
                       "International Character Set = UK",
                       "Default Print Speed = Full Speed (150mm/s)",
                       "Default Print Density = Normal",
                       "Cut Position = -2.5 mm",
                       "Presenter Timer = Command Driven",
                       "ASB Status Checking = Enable"};
}

void TestFrameDecoder::namesStoredChoices()
{
    QFETCH(ControlSnapshot, snapshot);
    QFETCH(QStringList, expected);
    const qbx::FrameDecoding d = qbx::decodeFrames(stored(snapshot));
    QCOMPARE(namedChoices(d), expected);
    QCOMPARE(d.otherByteCount(), std::size_t(0));
    QCOMPARE(d.frames.back().kind, qbx::FrameKind::Store);
}

void TestFrameDecoder::bitsText_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one bit") << "0010"
                             << "bit 4";
    QTest::newRow("low nibble") << "000F"
                                << "bits 0-3";
    QTest::newRow("lower-case digit") << "000f"
                                      << "bits 0-3";
    QTest::newRow("high byte") << "FF00"
                               << "bits 8-15";
    QTest::newRow("separate bits") << "8A00"
                                   << "bits 9, 11, 15";
    QTest::newRow("run and bit") << "000B"
                                 << "bits 0-1, 3";
    QTest::newRow("none") << "0000"
                          << "no bits";
    QTest::newRow("all") << "FFFF"
                         << "bits 0-15";
}

void TestFrameDecoder::bitsText()
{
    QFETCH(QString, mask);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(qbx::bitsText(mask.toStdString())), expected);
}

// Random bytes, with real frames spliced in whole and cut short: every byte ends up either in
// a frame or among the other bytes, exactly once.
void TestFrameDecoder::arbitraryInputIsAccountedFor()
{
    QRandomGenerator random(20261206);
    const std::string pieces[] = {qbx::setFrame("3", "FF00"),
                                  qbx::clearFrame("5", "00FF"),
                                  qbx::storeFrame(),
                                  qbx::selfTestFrame(),
                                  "\x1b\x1d#",
                                  "\x1b"};
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
