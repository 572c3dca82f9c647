#include "port/datafilereader.h"
#include "port/nativepath.h"
#include "porttest.h"
#include "recordingport.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <functional>

using qbx::DataFileReader;
using Call = qbx::test::RecordingPort::Call;
using qbx::test::writeFile;

namespace {

// A port that counts what it gets (the open, close and abort it records), fails after a number of
// writes if asked, and lets the test change the file under the reader at the first write. It copies
// nothing in the kernel: TestFileTransport covers a file that shrinks under a kernel copy.
class ScriptedPort final : public qbx::test::RecordingPort
{
public:
    void WritePort(std::string_view bytes) override
    {
        if (writes == 0 && onFirstWrite)
            onFirstWrite();
        ++writes;
        errno = EINTR; // as a port leaves it whose wait was interrupted and tried again
        largestWrite = std::max<qint64>(largestWrite, qint64(bytes.size()));
        received += bytes.size();
    }
    bool PortFailed() const override { return failAfterWrites >= 0 && writes >= failAfterWrites; }
    std::function<void()> onFirstWrite;
    int failAfterWrites = -1;
    int writes = 0;
    qint64 largestWrite = 0;
    qint64 received = 0;
};

} // namespace

class TestDataFileReader : public QObject
{
    Q_OBJECT

private slots:
    void fileChangingOrFailingEndsTheTransmission_data()
    {
        QTest::addColumn<QString>("path"); // empty: a 3 MiB file of the test's own
        QTest::addColumn<int>("change");   // bytes cut off (< 0) or added (> 0) at the first write
        QTest::addColumn<int>("failAfterWrites");
        QTest::addColumn<QString>("abortReason"); // empty: the transmission ends with a close
        QTest::addColumn<qint64>("received");

        const qint64 mib = 1 << 20;
        QTest::newRow("file shrinks while it is sent")
            << QString() << int(-2 * mib) << -1 << "got shorter.*1048576 of 3145728" << mib;
        QTest::newRow("file grows while it is sent") << QString() << 100 << -1 << "grew" << 3 * mib;
        QTest::newRow("port fails: an endless device stops") << "/dev/zero" << 0 << 2 << QString() << 2 * mib;
        QTest::newRow("port failed at its opening") << "/dev/zero" << 0 << 0 << QString() << 0LL;
    }

    void fileChangingOrFailingEndsTheTransmission()
    {
        QFETCH(QString, path);
        QFETCH(int, change);
        QFETCH(int, failAfterWrites);
        QFETCH(QString, abortReason);
        QFETCH(qint64, received);
        QTemporaryDir dir;
        if (path.isEmpty())
            writeFile(path = dir.filePath(QStringLiteral("demo.dmo")), QByteArray(3 << 20, '\x1b'));
        ScriptedPort port;
        port.failAfterWrites = failAfterWrites;
        port.onFirstWrite = [&] {
            QFile file(path);
            if (change < 0)
                QVERIFY(file.resize(file.size() + change));
            else if (change > 0 && file.open(QIODevice::Append))
                file.write(QByteArray(change, 'x'));
        };
        DataFileReader reader;
        qbx::Problem error;
        QVERIFY2(reader.open(path, DataFileReader::Accept::AnyFile, &error), qPrintable(error.text()));

        reader.sendTo(port);

        QCOMPARE(port.calls.size(), size_t(2));
        QCOMPARE(port.calls.front().kind, Call::Open);
        QCOMPARE(port.calls.back().kind, abortReason.isEmpty() ? Call::Close : Call::Abort);
        const QString reason = QString::fromStdString(port.calls.back().data);
        QVERIFY2(reason.contains(QRegularExpression(abortReason)), qPrintable(reason));
        QCOMPARE(port.received, received);
        QVERIFY(port.largestWrite <= 1 << 20); // streamed, never held whole
    }

    // A file name is bytes: each byte outside valid UTF-8 travels as a character of its own and
    // names the same file again; valid UTF-8 reads as the text it is.
    void aNameThatIsNoTextStillNamesItsFile_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("rawBytes"); // how many of its bytes are no UTF-8
        const auto row = [](const char* what, const QByteArray& name, int rawBytes) {
            QTest::newRow(what) << name << rawBytes;
        };
        row("text", "ticket \xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAB.prn", 0);
        row("lone continuation byte", "\x80\xBF", 2);
        row("overlong two bytes", "\xC0\xAF\xC1\xBF", 4);
        row("lowest three bytes", "\xE0\xA0\x80", 0);
        row("overlong three bytes", "\xE0\x9F\xBF", 3);
        row("last before the surrogates", "\xED\x9F\xBF", 0);
        row("surrogate", "\xED\xA0\x80", 3);
        row("lowest four bytes", "\xF0\x90\x80\x80", 0);
        row("overlong four bytes", "\xF0\x8F\xBF\xBF", 4);
        row("highest code point", "\xF4\x8F\xBF\xBF", 0);
        row("beyond it", "\xF4\x90\x80\x80\xF5\x80\x80\x80", 8);
        row("cut short at the end", "a\xE2\x82", 2);
        row("no continuation", "\xE2(\xA1", 2);
    }

    void aNameThatIsNoTextStillNamesItsFile()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, rawBytes);
        const QString decoded = qbx::decodePath(name);
        QCOMPARE(std::count_if(decoded.begin(), decoded.end(),
                               [](QChar c) { return qbx::rawByte(c).has_value(); }),
                 rawBytes);
        QCOMPARE(qbx::holdsRawBytes(decoded), rawBytes > 0);
        if (rawBytes == 0)
            QCOMPARE(decoded, QString::fromUtf8(name));
        QCOMPARE(qbx::encodePath(decoded), name); // TestCommandLine sends files of such names
    }
};

QTEST_GUILESS_MAIN(TestDataFileReader)
#include "testdatafilereader.moc"
