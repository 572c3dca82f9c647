#include "frames.h"
#include "porttest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <future>

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qbx::test;

namespace {

// Reads a FIFO on its own thread, as a printer-side program would, to its end or until it has
// stopAfter bytes.
std::future<QByteArray> readFifo(const QString& path, qsizetype stopAfter = -1)
{
    return std::async(std::launch::async, [path, stopAfter] {
        QByteArray received;
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        char buffer[65536];
        for (ssize_t n; fd >= 0 && (stopAfter < 0 || received.size() < stopAfter) &&
                        (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            received.append(buffer, n);
        if (fd >= 0)
            ::close(fd);
        return received;
    });
}

} // namespace

class TestFileTransport : public QObject
{
    Q_OBJECT

private slots:
    void fileReceivesExactBytes_data();
    void fileReceivesExactBytes();
    void failedFileKeepsOldContents_data();
    void failedFileKeepsOldContents();
    void fifoReceivesBytesDirectly();
    void fifoFailureIsReported_data();
    void fifoFailureIsReported();

private:
    QString makeFifo();

    QTemporaryDir m_dir;
};

QString TestFileTransport::makeFifo()
{
    const QString path = m_dir.filePath(QStringLiteral("printer.fifo"));
    QFile::remove(path);
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
}

void TestFileTransport::fileReceivesExactBytes_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");

    QTest::newRow("store frame with its NUL") << QList<QByteArray>{bytes(qbx::storeFrame())};
    QTest::newRow("several writes in order, every byte value")
        << QList<QByteArray>{"\x1b\x1d#+10010\n" + QByteArray(1, '\0'), everyByte(), QByteArray(3, '\0')};
    QTest::newRow("empty transmission") << QList<QByteArray>{QByteArray()};
}

void TestFileTransport::fileReceivesExactBytes()
{
    QFETCH(QList<QByteArray>, writes);
    const QString path = m_dir.filePath(QStringLiteral("out.prn"));
    writeFile(path, "previous transmission, longer than the new one");
    TestSession file(fileAt(path));

    transmit(file.session, writes);

    QVERIFY2(file.reporter.messages.isEmpty(), qPrintable(file.reporter.all()));
    QVERIFY(file.session.lastOutcome().delivered());
    QCOMPARE(readAll(path), writes.join());
}

void TestFileTransport::failedFileKeepsOldContents_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");

    QTest::newRow("folder does not exist") << m_dir.filePath(QStringLiteral("missing/out.prn")) << "missing";
    QTest::newRow("path is a folder") << m_dir.path() << "is a folder";
    QTest::newRow("no file chosen") << QString() << "No output file";
    QTest::newRow("device without space") << "/dev/full"
                                          << "/dev/full: no space left";
    QTest::newRow("write fails part-way, as on a full disk")
        << m_dir.filePath(QStringLiteral("limited.prn")) << "too large";
}

void TestFileTransport::failedFileKeepsOldContents()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    // A write that fails part-way into an existing regular file, whoever runs the test.
    const bool limited = path.endsWith(QLatin1String("limited.prn"));
    rlimit original{};
    ::getrlimit(RLIMIT_FSIZE, &original);
    const rlimit limit{100, original.rlim_max};
    if (limited) {
        writeFile(path, "old ticket setup");
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    const QByteArray before = QFileInfo(path).isFile() ? readAll(path) : QByteArray();
    TestSession file(fileAt(path));

    transmit(file.session, repeated(qbx::storeFrame()));
    if (limited)
        ::setrlimit(RLIMIT_FSIZE, &original);

    QCOMPARE(file.reporter.messages.size(), 1);
    QVERIFY2(file.reporter.messages.first().contains(reason), qPrintable(file.reporter.all()));
    QVERIFY(!file.session.lastOutcome().delivered());
    if (!before.isEmpty())
        QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(QFileInfo(path).path()).entryList({QStringLiteral("*.prn.*")}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestFileTransport::fifoReceivesBytesDirectly()
{
    const QString path = makeFifo();
    QVERIFY(!path.isEmpty());
    const QByteArray data = everyByte(3 * 4096); // larger than the pipe's buffer
    auto reader = readFifo(path);
    TestSession file(fileAt(path));

    transmit(file.session, {bytes(qbx::storeFrame()), data});

    QVERIFY2(file.reporter.messages.isEmpty(), qPrintable(file.reporter.all()));
    QVERIFY(reader.get() == bytes(qbx::storeFrame()) + data);
    QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile()); // not replaced by a regular file
}

void TestFileTransport::fifoFailureIsReported_data()
{
    QTest::addColumn<int>("readerTakes"); // -1: nobody reads
    QTest::addColumn<QStringList>("phrases");

    QTest::newRow("nobody reading") << -1 << QStringList{"printer.fifo: no program is reading"};
    // Must not end the program with SIGPIPE.
    QTest::newRow("reader leaves part-way") << 1024 << QStringList{"has stopped", "may have received part"};
}

void TestFileTransport::fifoFailureIsReported()
{
    QFETCH(int, readerTakes);
    QFETCH(QStringList, phrases);
    const QString path = makeFifo();
    std::future<QByteArray> reader;
    if (readerTakes >= 0)
        reader = readFifo(path, readerTakes);
    TestSession file(fileAt(path), quickTimeouts());
    QElapsedTimer clock;
    clock.start();

    transmit(file.session, {QByteArray(8 * 1024 * 1024, 'x')});

    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(file.reporter.messages.size(), 1);
    for (const QString& phrase : phrases)
        QVERIFY2(file.reporter.messages.first().contains(phrase), qPrintable(file.reporter.all()));
}

QTEST_GUILESS_MAIN(TestFileTransport)
#include "testfiletransport.moc"
