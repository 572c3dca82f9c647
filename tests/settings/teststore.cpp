#include "catalogue.h"
#include "frames.h"
#include "recordingport.h"
#include "store.h"

#include <QStringList>
#include <QTest>

using qbx::ControlSnapshot;
using qbx::test::RecordingPort;
using Call = RecordingPort::Call;

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void transmission_data();
    void transmission();
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
        // offset's limits in the frame: TestStoreProperties).
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

QTEST_APPLESS_MAIN(TestStore)
#include "teststore.moc"
