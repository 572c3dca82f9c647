#include "port/datafilereader.h"
#include "recordingport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>

using qbx::DataFileReader;
using Call = qbx::test::RecordingPort::Call;

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
    }

    void fileChangingOrFailingEndsTheTransmission()
    {
        QFETCH(QString, path);
        QFETCH(int, change);
        QFETCH(int, failAfterWrites);
        QFETCH(QString, abortReason);
        QFETCH(qint64, received);
        QTemporaryDir dir;
        if (path.isEmpty()) {
            path = dir.filePath(QStringLiteral("demo.dmo"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.write(QByteArray(3 << 20, '\x1b')) == 3 << 20);
        }
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

    void windowTakesOnlyRegularFiles()
    {
        DataFileReader reader;
        qbx::Problem error;
        QVERIFY(!reader.open(QStringLiteral("/dev/zero"), DataFileReader::Accept::RegularFilesOnly, &error));
        QVERIFY2(error.what.contains(QStringLiteral("/dev/zero")) &&
                     error.what.contains(QStringLiteral("not a regular file")),
                 qPrintable(error.text()));
    }
};

QTEST_GUILESS_MAIN(TestDataFileReader)
#include "testdatafilereader.moc"
