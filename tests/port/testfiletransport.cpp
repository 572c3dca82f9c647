#include "frames.h"
#include "porttest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using qbx::test::bytes;
using qbx::test::ListReporter;
using qbx::test::transmit;
using TeskKit::PortConfig;
using TeskKit::PortSession;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

// A file session whose device waits are short, so a FIFO nobody reads fails quickly.
class FileSession
{
public:
    explicit FileSession(const QString& path)
        : session(reporter)
    {
        TeskKit::PortTimeouts timeouts;
        timeouts.deviceOpenMs = 300;
        timeouts.writeStallMs = 300;
        session.setTimeouts(timeouts);
        PortConfig config;
        config.filePath = path;
        session.setConfig(config);
    }

    ListReporter reporter;
    PortSession session;
};

// Reads a FIFO on its own thread, as a printer-side program would, to its end or until it has
// stopAfter bytes.
class FifoReader
{
public:
    explicit FifoReader(const QString& path, qsizetype stopAfter = -1)
        : m_thread([this, path, stopAfter] {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            char buffer[65536];
            for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
                m_received.append(buffer, n);
                if (stopAfter >= 0 && m_received.size() >= stopAfter)
                    break;
            }
            if (fd >= 0)
                ::close(fd);
        })
    {}
    QByteArray finish()
    {
        m_thread.join();
        return m_received;
    }

private:
    QByteArray m_received;
    std::thread m_thread;
};

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
    QString makeFifo(const QString& name);

    QTemporaryDir m_dir;
};

QString TestFileTransport::makeFifo(const QString& name)
{
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
}

void TestFileTransport::fileReceivesExactBytes_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");

    QByteArray allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes.append(char(b));
    QTest::newRow("store frame with its NUL") << QList<QByteArray>{bytes(qbx::storeFrame())};
    QTest::newRow("several writes in order, every byte value")
        << QList<QByteArray>{"\x1b\x1d#+10010\n" + QByteArray(1, '\0'), allBytes, QByteArray(3, '\0')};
    QTest::newRow("empty transmission") << QList<QByteArray>{QByteArray()};
}

void TestFileTransport::fileReceivesExactBytes()
{
    QFETCH(QList<QByteArray>, writes);
    const QString path = m_dir.filePath(QStringLiteral("out.prn"));
    writeFile(path, "previous transmission, longer than the new one");
    FileSession file(path);

    transmit(file.session, writes);

    QVERIFY2(file.reporter.messages.isEmpty(), qPrintable(file.reporter.all()));
    QVERIFY(file.session.lastTransmissionSucceeded());
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
    QTest::newRow("read-only folder") << m_dir.filePath(QStringLiteral("readonly/out.prn")) << "readonly";
}

void TestFileTransport::failedFileKeepsOldContents()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    if (path.contains(QLatin1String("readonly"))) {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QDir(m_dir.path()).mkpath(QStringLiteral("readonly"));
        writeFile(path, "old ticket setup");
        QFile::setPermissions(m_dir.filePath(QStringLiteral("readonly")), QFile::ReadOwner | QFile::ExeOwner);
    }
    const QByteArray before = QFileInfo(path).isFile() ? readAll(path) : QByteArray();
    FileSession file(path);

    transmit(file.session, qbx::test::repeated(qbx::storeFrame()));

    QCOMPARE(file.reporter.messages.size(), 1);
    QVERIFY2(file.reporter.messages.first().contains(reason), qPrintable(file.reporter.all()));
    QVERIFY(!file.session.lastTransmissionSucceeded());
    if (!before.isEmpty())
        QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(QFileInfo(path).path()).entryList({QStringLiteral("*.prn.*")}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestFileTransport::fifoReceivesBytesDirectly()
{
    const QString path = makeFifo(QStringLiteral("printer.fifo"));
    QVERIFY(!path.isEmpty());
    QByteArray data(3 * 1024 * 1024, Qt::Uninitialized); // larger than the pipe's buffer
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i % 253);
    FifoReader reader(path);
    FileSession file(path);

    transmit(file.session, {bytes(qbx::storeFrame()), data});

    QVERIFY2(file.reporter.messages.isEmpty(), qPrintable(file.reporter.all()));
    QVERIFY(reader.finish() == bytes(qbx::storeFrame()) + data);
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
    const QString path = makeFifo(QStringLiteral("printer.fifo"));
    std::optional<FifoReader> reader;
    if (readerTakes >= 0)
        reader.emplace(path, readerTakes);
    FileSession file(path);
    QElapsedTimer clock;
    clock.start();

    transmit(file.session, {QByteArray(8 * 1024 * 1024, 'x')});

    if (reader)
        reader->finish();
    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(file.reporter.messages.size(), 1);
    for (const QString& phrase : phrases)
        QVERIFY2(file.reporter.messages.first().contains(phrase), qPrintable(file.reporter.all()));
}

QTEST_GUILESS_MAIN(TestFileTransport)
#include "testfiletransport.moc"
