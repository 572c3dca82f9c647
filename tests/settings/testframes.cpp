#include "frames.h"
#include "recordingport.h"

#include <QTest>

using qbx::test::RecordingPort;
using Call = RecordingPort::Call;

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void switchCommandBytes_data();
    void switchCommandBytes();
    void fixedFrameBytes_data();
    void fixedFrameBytes();
    void selfTestTransmission();
};

namespace {
std::string bytes(const char* hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    return raw.toStdString();
}
} // namespace

void TestFrames::switchCommandBytes_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArray>("switchNo");
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("set 1 0010") << true << QByteArray("1") << QByteArray("0010")
                                << QByteArray("1b1d232b31303031300a00");
    QTest::newRow("clear A 0400") << false << QByteArray("A") << QByteArray("0400")
                                  << QByteArray("1b1d232d41303430300a00");
    QTest::newRow("clear 6 000f keeps lower-case f")
        << false << QByteArray("6") << QByteArray("000f") << QByteArray("1b1d232d36303030660a00");
    QTest::newRow("set 3 FF00") << true << QByteArray("3") << QByteArray("FF00")
                                << QByteArray("1b1d232b33464630300a00");
}

void TestFrames::switchCommandBytes()
{
    QFETCH(bool, set);
    QFETCH(QByteArray, switchNo);
    QFETCH(QByteArray, mask);
    QFETCH(QByteArray, expected);

    RecordingPort port;
    (set ? qbx::SetSwitchBits : qbx::ClearSwitchBits)(port, switchNo.toStdString(), mask.toStdString());

    // One write of all 11 bytes: a writer that stopped at the NUL would send 10.
    QCOMPARE(port.calls.size(), 1u);
    QCOMPARE(port.calls[0].kind, Call::Write);
    QCOMPARE(port.calls[0].data.size(), qbx::kSwitchFrameSize);
    QCOMPARE(port.calls[0].data, bytes(expected.constData()));
}

void TestFrames::fixedFrameBytes_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("store") << QByteArray::fromStdString(qbx::storeFrame())
                           << QByteArray("1b1d235730303030300a00");
    QTest::newRow("self-test") << QByteArray::fromStdString(qbx::selfTestFrame()) << QByteArray("1b3f0a00");
}

void TestFrames::fixedFrameBytes()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(), expected);
}

void TestFrames::selfTestTransmission()
{
    RecordingPort port;
    qbx::PrintSelfTestPage(port);
    const std::vector<Call> expected{{Call::Open, {}}, {Call::Write, bytes("1b3f0a00")}, {Call::Close, {}}};
    QVERIFY(port.calls == expected);
}

QTEST_APPLESS_MAIN(TestFrames)
#include "testframes.moc"
