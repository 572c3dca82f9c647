#include "frames.h"
#include "portsession.h"
#include "reporter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using TeskKit::PortConfig;
using TeskKit::PortSession;

namespace {

class ListReporter : public TeskKit::Reporter
{
public:
    void report(const QString& message) override { messages << message; }
    QStringList messages;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

PortConfig fileAt(const QString& path)
{
    PortConfig config;
    config.filePath = path;
    return config;
}

TeskKit::PortTimeouts quickTimeouts()
{
    TeskKit::PortTimeouts timeouts;
    timeouts.deviceOpenMs = 300;
    timeouts.writeStallMs = 300;
    return timeouts;
}

void sendAll(PortSession& session, const QList<QByteArray>& writes)
{
    session.OpenPort();
    for (const QByteArray& w : writes)
        session.WritePort(std::string_view(w.constData(), size_t(w.size())));
    session.ClosePort();
}

// Reads a FIFO to its end on its own thread, as a printer-side program would.
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
    void fifoWithoutReaderIsReported();
    void fifoReaderLeavingIsReported();

private:
    QString makeFifo(const QString& name);

    QTemporaryDir m_dir;
};

QString TestFileTransport::makeFifo(const QString& name)
{
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        return {};
    return path;
}

void TestFileTransport::fileReceivesExactBytes_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");

    QByteArray allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes.append(char(b));
    QTest::newRow("store frame with its NUL")
        << QList<QByteArray>{QByteArray::fromStdString(qbx::storeFrame())};
    QTest::newRow("every byte value") << QList<QByteArray>{allBytes};
    QTest::newRow("several writes in order")
        << QList<QByteArray>{"\x1b\x1d#+10010\n" + QByteArray(1, '\0'), "\r\n\xff", QByteArray(3, '\0')};
    QTest::newRow("empty transmission") << QList<QByteArray>{QByteArray()};
    QTest::newRow("a megabyte") << QList<QByteArray>{QByteArray(1 << 20, '\x1b')};
}

void TestFileTransport::fileReceivesExactBytes()
{
    QFETCH(QList<QByteArray>, writes);
    const QString path = m_dir.filePath(QStringLiteral("out.prn"));
    QFile::remove(path);
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous transmission, longer than the new one");
    }

    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(fileAt(path));
    sendAll(session, writes);

    QVERIFY2(reporter.messages.isEmpty(), qPrintable(reporter.messages.join(QLatin1Char('\n'))));
    QVERIFY(session.lastTransmissionSucceeded());
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
    QTest::newRow("read-only file") << m_dir.filePath(QStringLiteral("readonly/out.prn")) << "readonly";
}

void TestFileTransport::failedFileKeepsOldContents()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    if (path.contains(QLatin1String("readonly"))) {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QDir(m_dir.path()).mkpath(QStringLiteral("readonly"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old ticket setup");
        old.close();
        QFile::setPermissions(m_dir.filePath(QStringLiteral("readonly")), QFile::ReadOwner | QFile::ExeOwner);
    }
    const QByteArray before = QFile::exists(path) && QFileInfo(path).isFile() ? readAll(path) : QByteArray();

    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(fileAt(path));
    QList<QByteArray> writes;
    for (int i = 0; i < 31; ++i) // one message for the whole transmission, not one per write
        writes << QByteArray::fromStdString(qbx::storeFrame());
    sendAll(session, writes);

    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().contains(reason), qPrintable(reporter.messages.first()));
    QVERIFY(!session.lastTransmissionSucceeded());
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

    ListReporter reporter;
    PortSession session(reporter);
    session.setConfig(fileAt(path));
    sendAll(session, {QByteArray::fromStdString(qbx::storeFrame()), data});

    QVERIFY2(reporter.messages.isEmpty(), qPrintable(reporter.messages.join(QLatin1Char('\n'))));
    QVERIFY(reader.finish() == QByteArray::fromStdString(qbx::storeFrame()) + data);
    QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile()); // not replaced by a regular file
}

void TestFileTransport::fifoWithoutReaderIsReported()
{
    const QString path = makeFifo(QStringLiteral("nobody.fifo"));
    ListReporter reporter;
    PortSession session(reporter);
    session.setTimeouts(quickTimeouts());
    session.setConfig(fileAt(path));
    QElapsedTimer clock;
    clock.start();

    sendAll(session, {QByteArray::fromStdString(qbx::selfTestFrame())});

    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().contains(path + QStringLiteral(": no program is reading")),
             qPrintable(reporter.messages.first()));
}

void TestFileTransport::fifoReaderLeavingIsReported()
{
    const QString path = makeFifo(QStringLiteral("leaving.fifo"));
    FifoReader reader(path, 1024);
    ListReporter reporter;
    PortSession session(reporter);
    session.setTimeouts(quickTimeouts());
    session.setConfig(fileAt(path));

    sendAll(session, {QByteArray(8 * 1024 * 1024, 'x')}); // must not end the program with SIGPIPE

    reader.finish();
    QCOMPARE(reporter.messages.size(), 1);
    QVERIFY2(reporter.messages.first().contains(QStringLiteral("has stopped")),
             qPrintable(reporter.messages.first()));
    QVERIFY2(reporter.messages.first().contains(QStringLiteral("may have received part")),
             qPrintable(reporter.messages.first()));
}

QTEST_GUILESS_MAIN(TestFileTransport)
#include "testfiletransport.moc"
