#include "port/datafilereader.h"
#include "porttest.h"
#include "settings/frames.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <future>
#include <thread>

#include <fcntl.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace qbx::test;
using Result = qbx::TransmissionOutcome::Result;
using Stage = qbx::TransmissionStage;
using Partial = qbx::PartialDelivery;

namespace {

enum class Obstacle
{
    MissingFolder,
    PathIsFolder,
    LinkLoop,
    DeviceFull,
    FileSizeLimit,
    FullDisk,
    Cancel,
    ShrunkDataFile, // the data file loses its end between its opening and its copy
};

enum class Reader
{
    None,
    TakesAll, // this one and the next two read
    LeavesAfter1KiB,
    LeavesWhileDraining, // after 1 KiB of what the pipe's buffer holds whole
    TakesNothing,
    IdleWhileDraining, // takes nothing of what the pipe's buffer holds whole
    NoFifo,            // a socket lies at the path: no reader will ever come
};

// Reads a FIFO on its own thread, as a printer-side program would, to its end or until it has
// stopAfter bytes.
std::future<QByteArray> readFifo(const QString& path, qsizetype stopAfter = -1)
{
    return std::async(std::launch::async, [path, stopAfter] {
        QByteArray received;
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        char buffer[65536];
        for (ssize_t n;
             fd >= 0 && (stopAfter < 0 || received.size() < stopAfter) &&
             (n = ::read(fd, buffer, std::min(sizeof buffer, size_t(stopAfter - received.size())))) > 0;)
            received.append(buffer, n);
        if (fd >= 0)
            ::close(fd);
        return received;
    });
}

// What a replacement may leave behind by mistake: its temporary file.
QStringList hiddenFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System);
}

// Another user than the one running the tests, to own links and files.
const passwd& otherUser()
{
    static const passwd user = *::getpwnam("nobody");
    return user;
}

} // namespace

class TestFileTransport : public QObject
{
    Q_OBJECT

private slots:
    void fileReceivesExactBytes_data()
    {
        QTest::addColumn<QByteArray>("old"); // null: no file yet
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QString>("dataFileIn"); // null: writes to the port; else sent from a file there

        const auto row = [](const char* name, const QByteArray& old, const QList<QByteArray>& writes,
                            const QString& dataFileIn = {}) {
            QTest::newRow(name) << old << writes << dataFileIn;
        };
        row("store frame with its NUL replaces a longer 0640 file of another user",
            "previous transmission, longer than the new one", {bytes(qbx::storeFrame())});
        const QList<QByteArray> demo{patterned(3 * 1024 * 1024 + 5)};
        row("data file on the same disk, copied by the kernel", {}, demo, QDir::tempPath() + "/qbx-XXXXXX");
        // From another file system the kernel refuses to copy (EXDEV): the bytes go through write().
        row("data file on a memory disk, written", "previous", demo, QStringLiteral("/dev/shm/qbx-XXXXXX"));
    }

    void fileReceivesExactBytes()
    {
        QFETCH(QByteArray, old);
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QString, dataFileIn);
        const QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.prn"));
        const QByteArray encoded = QFile::encodeName(path);
        // A new file gets the mode any program would give it; a replaced one keeps its mode, and its
        // owner even where that is another user (which only root can set up).
        const mode_t umask = ::umask(0);
        ::umask(umask);
        uid_t owner = ::geteuid();
        gid_t group = ::getegid();
        mode_t mode = 0666 & ~umask;
        if (!old.isNull()) {
            writeFile(path, old);
            mode = 0640;
            QCOMPARE(::chmod(encoded.constData(), mode), 0);
            if (owner == 0) {
                QCOMPARE(::chown(encoded.constData(), otherUser().pw_uid, otherUser().pw_gid), 0);
                owner = otherUser().pw_uid;
                group = otherUser().pw_gid;
            }
        }
        TestSession file(fileAt(path));
        const QTemporaryDir data(dataFileIn);
        const QString source = data.filePath(QStringLiteral("demo.dmo"));
        qbx::DataFileReader reader;
        qbx::Problem error;

        if (dataFileIn.isNull()) {
            transmit(file.session, writes);
        } else {
            QVERIFY2(data.isValid(), qPrintable(data.errorString()));
            writeFile(source, writes.join());
            QVERIFY2(reader.open(source, qbx::DataFileReader::Accept::RegularFilesOnly, &error),
                     qPrintable(error.text()));
            reader.sendTo(file.session);
        }

        QVERIFY2(file.session.lastOutcome().delivered(), qPrintable(file.session.lastOutcome().message()));
        QCOMPARE(readAll(path), writes.join());
        QCOMPARE(hiddenFiles(dir.path()), QStringList());
        struct stat status = {};
        QCOMPARE(::stat(encoded.constData(), &status), 0);
        QCOMPARE((QList<uint>{status.st_uid, status.st_gid, status.st_mode & 07777}),
                 (QList<uint>{owner, group, mode}));
    }

    void failedFileKeepsOldContents_data()
    {
        QTest::addColumn<Obstacle>("obstacle");
        QTest::addColumn<Stage>("stage");
        QTest::addColumn<QString>("reason");

        const auto row = [](const char* name, Obstacle obstacle, Stage stage, const char* reason) {
            QTest::newRow(name) << obstacle << stage << QString::fromLatin1(reason);
        };
        row("folder does not exist", Obstacle::MissingFolder, Stage::Connecting,
            "missing does not exist. Create it");
        row("path is a folder", Obstacle::PathIsFolder, Stage::Connecting, "is a folder");
        row("link to itself", Obstacle::LinkLoop, Stage::Connecting, "too many symbolic links, or a loop");
        row("device without space", Obstacle::DeviceFull, Stage::Sending, "/dev/full: no space left");
        row("file size limit", Obstacle::FileSizeLimit, Stage::Sending, "file size limit reached");
        row("disk full", Obstacle::FullDisk, Stage::Sending, "the disk is full (or over quota)");
        row("cancelled", Obstacle::Cancel, Stage::Sending, "was cancelled");
        row("data file got shorter", Obstacle::ShrunkDataFile, Stage::ReadingData, "got shorter");
    }

    void failedFileKeepsOldContents()
    {
        QFETCH(Obstacle, obstacle);
        QFETCH(Stage, stage);
        QFETCH(QString, reason);
        const QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("out.prn"));
        rlimit original{};
        ::getrlimit(RLIMIT_FSIZE, &original);
        const QString small = dir.filePath(QStringLiteral("small"));
        const auto unmount =
            qScopeGuard([&] { ::umount2(QFile::encodeName(small).constData(), MNT_DETACH); });
        switch (obstacle) {
        case Obstacle::MissingFolder:
            path = dir.filePath(QStringLiteral("missing/out.prn"));
            break;
        case Obstacle::PathIsFolder:
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.prn")));
            break;
        case Obstacle::LinkLoop:
            QVERIFY(QFile::link(path, path));
            break;
        case Obstacle::DeviceFull:
            path = QStringLiteral("/dev/full");
            break;
        case Obstacle::FullDisk:
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("small")));
            if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=64k") != 0)
                QSKIP("a small disk needs the right to mount a tmpfs");
            path = small + QStringLiteral("/out.prn");
            break;
        default:
            break;
        }
        if (obstacle >= Obstacle::FileSizeLimit) // the enumerators from here on replace a file
            writeFile(path, "old printer setup");
        const rlimit limit{100, original.rlim_max};
        // The transport, not the test, must keep SIGXFSZ from ending it.
        if (obstacle == Obstacle::FileSizeLimit)
            ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool hadFile = QFileInfo(path).isFile();
        const QByteArray before = hadFile ? readAll(path) : QByteArray();
        std::atomic<bool> cancelled = obstacle == Obstacle::Cancel; // seen once the first piece is out
        TestSession file(fileAt(path));
        file.session.setCancelFlag(&cancelled);
        const auto openFiles = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
        const uint openBefore = openFiles();

        if (obstacle == Obstacle::ShrunkDataFile) {
            const QString source = dir.filePath(QStringLiteral("demo.dmo"));
            writeFile(source, QByteArray(256 * 1024, 'x'));
            qbx::DataFileReader reader;
            qbx::Problem error;
            QVERIFY(reader.open(source, qbx::DataFileReader::Accept::RegularFilesOnly, &error));
            QVERIFY(QFile::resize(source, 1000));
            reader.sendTo(file.session);
        } else {
            transmit(file.session, {QByteArray(256 * 1024, 'x')});
        }
        QCOMPARE(openFiles(), openBefore);    // nothing is left open
        ::setrlimit(RLIMIT_FSIZE, &original); // before the test's own output, which may go to a file

        const qbx::TransmissionOutcome& outcome = file.session.lastOutcome();
        const QString message = outcome.message();
        QVERIFY2(message.contains(reason), qPrintable(message));
        QCOMPARE(outcome.result, obstacle == Obstacle::Cancel ? Result::Cancelled : Result::Failed);
        QCOMPARE(outcome.stage, stage);
        QCOMPARE(outcome.partial, Partial::No);
        if (hadFile) {
            QCOMPARE(readAll(path), before);
            QVERIFY2(message.contains(path + QStringLiteral(" was kept as it was")), qPrintable(message));
            QCOMPARE(hiddenFiles(QFileInfo(path).path()), QStringList());
        }
    }

    void linkIsFollowedOnlyWhereTheSystemWould_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("folderIsOthers");
        QTest::addColumn<bool>("linkIsOthers");
        QTest::addColumn<bool>("followed");

        QTest::newRow("own link in a shared sticky folder") << 01777 << false << false << true;
        QTest::newRow("another user's link in a shared sticky folder") << 01777 << false << true << false;
        QTest::newRow("shared sticky folder's owner's link") << 01777 << true << true << true;
        QTest::newRow("another user's link in a shared folder that is not sticky")
            << 0777 << false << true << true;
    }

    void linkIsFollowedOnlyWhereTheSystemWould()
    {
        QFETCH(int, folderMode);
        QFETCH(bool, folderIsOthers);
        QFETCH(bool, linkIsOthers);
        QFETCH(bool, followed);
        if ((folderIsOthers || linkIsOthers) && ::geteuid() != 0)
            QSKIP("only root may give a link to another user");
        const QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target.prn"));
        const QString shared = dir.filePath(QStringLiteral("shared"));
        const QString link = shared + QStringLiteral("/out.prn");
        writeFile(target, "old");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("shared")));
        const auto giveAway = [](const QString& p) {
            return ::lchown(QFile::encodeName(p).constData(), otherUser().pw_uid, otherUser().pw_gid) == 0;
        };
        QVERIFY(!folderIsOthers || giveAway(shared));
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), mode_t(folderMode)) == 0);
        QVERIFY(QFile::link(target, link));
        QVERIFY(!linkIsOthers || giveAway(link));
        TestSession file(fileAt(link));

        transmit(file.session, {bytes(qbx::storeFrame())});

        const qbx::TransmissionOutcome& outcome = file.session.lastOutcome();
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(target), followed ? bytes(qbx::storeFrame()) : QByteArray("old"));
        QCOMPARE(outcome.result, followed ? Result::Delivered : Result::Failed);
        if (!followed) {
            QCOMPARE(outcome.stage, Stage::Connecting);
            for (const QString& phrase :
                 {link, QStringLiteral("belongs to another user"), QStringLiteral("folder of your own")})
                QVERIFY2(outcome.message().contains(phrase), qPrintable(outcome.message()));
        }
    }

    // A device that is writable again has taken everything written before.
    void deviceIsDoneOnceWritable()
    {
        TestSession device(fileAt(QStringLiteral("/dev/null")), quickTimeouts());
        QElapsedTimer clock;
        clock.start();
        transmit(device.session, {patterned(1 << 20)});
        QVERIFY2(device.session.lastOutcome().delivered(),
                 qPrintable(device.session.lastOutcome().message()));
        QVERIFY(clock.elapsed() < 500);
    }

    void fifoFailureIsReported_data()
    {
        QTest::addColumn<Reader>("reader");
        QTest::addColumn<Stage>("stage");
        QTest::addColumn<QString>("phrase"); // empty: delivered

        const auto row = [](const char* name, Reader reader, Stage stage, const char* phrase) {
            QTest::newRow(name) << reader << stage << phrase;
        };
        row("reader takes it all, larger than the pipe's buffer", Reader::TakesAll, Stage{}, "");
        row("nobody reading", Reader::None, Stage::Connecting, "printer.fifo: no program is reading");
        // Must not end the program with SIGPIPE.
        row("reader leaves part-way", Reader::LeavesAfter1KiB, Stage::Sending, "has stopped");
        row("reader leaves with data in the pipe", Reader::LeavesWhileDraining, Stage::Finishing,
            "stopped before it had read everything");
        row("socket, not a FIFO", Reader::NoFifo, Stage::Connecting, "printer.fifo: no such device");
        row("cancel while waiting for a reader", Reader::None, Stage::Connecting, "was cancelled");
        row("cancel while the reader takes nothing", Reader::TakesNothing, Stage::Sending, "was cancelled");
        row("reader takes nothing", Reader::TakesNothing, Stage::Sending, "took no data for 0.7 seconds");
        row("reader takes nothing of what fits in the pipe", Reader::IdleWhileDraining, Stage::Finishing,
            "took no data for 0.7 seconds");
    }

    void fifoFailureIsReported()
    {
        QFETCH(Reader, reader);
        QFETCH(Stage, stage);
        QFETCH(QString, phrase);
        const bool cancel = phrase == "was cancelled";
        const Result result = phrase.isEmpty() ? Result::Delivered
                              : cancel         ? Result::Cancelled
                                               : Result::Failed;
        const QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("printer.fifo"));
        const mode_t kind = reader == Reader::NoFifo ? S_IFSOCK : S_IFIFO;
        QCOMPARE(::mknod(QFile::encodeName(path).constData(), kind | 0600, 0), 0);
        std::future<QByteArray> received;
        if (reader > Reader::None && reader <= Reader::LeavesWhileDraining) // the readers that read
            received = readFifo(path, reader == Reader::TakesAll ? -1 : 1024);
        const int idle = reader == Reader::TakesNothing || reader == Reader::IdleWhileDraining
                             ? ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                             : -1;
        const auto closeIdle = qScopeGuard([idle] { ::close(idle); }); // -1 when there is none: harmless
        // Made before the clock and the cancel start: under the sanitizers it takes a while.
        const QByteArray data =
            bytes(qbx::storeFrame()) +
            patterned(reader == Reader::LeavesWhileDraining || reader == Reader::IdleWhileDraining
                          ? 32 * 1024
                          : 8 * 1024 * 1024);
        // A cancel must not wait for the program's own, long timeouts.
        TestSession file(fileAt(path), cancel ? qbx::PortTimeouts{} : quickTimeouts());
        std::future<void> canceller;
        if (cancel)
            canceller = std::async(std::launch::async, [&file] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                file.session.requestCancel();
            });
        QElapsedTimer clock;
        clock.start();

        transmit(file.session, {data});

        QVERIFY(clock.elapsed() < (cancel ? 1500 : 3000));
        sigset_t mask; // the caller's, which lets SIGPIPE through, is back
        QVERIFY(::pthread_sigmask(SIG_SETMASK, nullptr, &mask) == 0 && !sigismember(&mask, SIGPIPE));
        const qbx::TransmissionOutcome& outcome = file.session.lastOutcome();
        QCOMPARE(outcome.message().isEmpty(), result == Result::Delivered);
        QVERIFY2(outcome.message().contains(phrase), qPrintable(outcome.message()));
        QCOMPARE(outcome.result, result);
        QCOMPARE(outcome.stage, stage);
        // A reader that was there may have had part of it.
        QCOMPARE(outcome.partial, stage == Stage::Connecting ? Partial::No : Partial::Possible);
        // Were the FIFO replaced by a regular file, its reader would wait on and never get the data.
        QVERIFY(result != Result::Delivered || received.get() == data);
    }
};

QTEST_GUILESS_MAIN(TestFileTransport)
#include "testfiletransport.moc"
