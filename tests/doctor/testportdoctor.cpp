#include "doctor/portdoctor.h"
#include "porttest.h"
#include "tcpsink.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace qbx::test;
using qbx::Finding;
using qbx::Identity;

namespace {

// A port in a state that the check must see, made real for the time of one case.
enum class Scene
{
    GroupDevice,     // a device node that the group 'lp' may write (made with mknod)
    OwnerDevice,     // a device node that only its owner may write
    OpenDevice,      // a device node that every user may write
    OwnDevice,       // a device node of user 4242's own, which only they may write
    ExistingFile,    // a file, replaced by each transmission
    NullDevice,      // /dev/null, which every program holds open
    NoFolder,        // a new file in a folder that does not exist
    RefusingPrinter, // nothing listens on the network port
    Printer,         // a network printer that takes the connection
    IdleQueue,       // a raw queue with no job in it
    StoppedQueue,
    MissingQueue,
    BusyQueue, // a queue with jobs waiting in it
    RejectingQueue,
    QueueWithDriver, // a queue whose driver would rewrite the bytes
    HeldJob,
    BusyLine,      // a serial line another program holds exclusively
    ExclusiveLine, // a line in exclusive use, by no program the check may see
    LockedLine,    // a line whose lock file names a live program (init)
    FreeLine,      // a serial line at 9600 8N1, whose lock file names a program that has ended
    OddFraming,    // a line that keeps its own framing (a pseudo-terminal keeps 8N)
    OwnSession,    // a line that a program of the checking program's own session holds, as its shell
                   // does, at 19200 baud, two stop bits and hardware flow control
    NullLine,      // /dev/null given as a serial line
};

gid_t lpGroup()
{
    const group* g = ::getgrnam("lp");
    return g ? g->gr_gid : 7;
}

// Keeps what a scene is made of until the case ends, and removes it then.
struct Stage
{
    ~Stage()
    {
        if (!queue.isEmpty())
            administer({"lpadmin", "-x", queue});
        if (!lock.isEmpty())
            QFile::remove(lock);
    }

    PortConfig set(Scene scene);
    PortConfig makeQueue(const QStringList& extra, const QList<QStringList>& then = {});

    QTemporaryDir folder;
    std::unique_ptr<TcpSink> sink;
    QString queue;
    PseudoTerminal pty;
    std::array<QProcess, 5> holders; // killed when the case ends
    QString lock;                    // a UUCP lock file, in the one lock folder that everyone may write
};

// A queue of the test's own beside the fixture's, which other tests share, then the commands given
// run on it in turn; no port at all if any of it fails.
PortConfig Stage::makeQueue(const QStringList& extra, const QList<QStringList>& then)
{
    queue = QStringLiteral("qbxdoctor");
    bool made = administer(QStringList{"lpadmin", "-p", queue, "-E", "-v", "socket://127.0.0.1:9"} + extra)
                    .has_value();
    for (const QStringList& command : then)
        made = made && administer(command);
    return made ? queueNamed(queue) : PortConfig{};
}

PortConfig Stage::set(Scene scene)
{
    switch (scene) {
    case Scene::GroupDevice:
    case Scene::OwnerDevice:
    case Scene::OpenDevice:
    case Scene::OwnDevice: {
        // The numbers of /dev/null: a device node that is harmless whatever opens it.
        const QByteArray name = QFile::encodeName(folder.filePath(QStringLiteral("lp0")));
        const mode_t mode = scene == Scene::GroupDevice ? 0660 : scene == Scene::OpenDevice ? 0666 : 0600;
        const bool made = ::mknod(name.constData(), S_IFCHR | mode, makedev(1, 3)) == 0 &&
                          ::chown(name.constData(), scene == Scene::OwnDevice ? 4242 : 0, lpGroup()) == 0 &&
                          ::chmod(name.constData(), mode) == 0;
        return made ? fileAt(QFile::decodeName(name)) : PortConfig{};
    }
    case Scene::NullDevice:
        return fileAt(QStringLiteral("/dev/null"));
    case Scene::NullLine:
        return serialLine(QStringLiteral("/dev/null"));
    case Scene::NoFolder:
        return fileAt(folder.filePath(QStringLiteral("missing/out.prn")));
    case Scene::ExistingFile:
        writeFile(folder.filePath(QStringLiteral("out.prn")), "old");
        return fileAt(folder.filePath(QStringLiteral("out.prn")));
    case Scene::RefusingPrinter: // the port of a sink that is gone when the check runs
        return tcpAt(QStringLiteral("127.0.0.1"), TcpSink().port());
    case Scene::Printer:
        sink = std::make_unique<TcpSink>();
        return tcpAt(QStringLiteral("127.0.0.1"), sink->port());
    case Scene::IdleQueue:
        return makeQueue({});
    case Scene::StoppedQueue:
    case Scene::RejectingQueue:
        return makeQueue({}, {{scene == Scene::StoppedQueue ? "cupsdisable" : "cupsreject", "qbxdoctor"}});
    case Scene::BusyQueue: { // a printer nobody can reach: the jobs wait, the queue says why
        writeFile(folder.filePath(QStringLiteral("job")), "waits");
        const QStringList job{"lp", "-d", "qbxdoctor", folder.filePath(QStringLiteral("job"))};
        const PortConfig config = makeQueue({}, {job, job});
        const auto queueSaysWhy = [] {
            return administer({"lpstat", "-l", "-p", "qbxdoctor"})
                .value_or(QString())
                .contains("unavailable");
        };
        return QTest::qWaitFor(queueSaysWhy) ? config : PortConfig{};
    }
    case Scene::MissingQueue:
        return queueNamed(QStringLiteral("qbx-no-such-queue"));
    case Scene::QueueWithDriver:
        return makeQueue({"-m", "drv:///sample.drv/generic.ppd"});
    case Scene::HeldJob:
        writeFile(folder.filePath(QStringLiteral("job")), "held");
        return makeQueue({}, {{"lp", "-d", "qbxdoctor", "-H", "indefinite", folder.filePath("job")}});
    case Scene::FreeLine:
    case Scene::LockedLine:
        lock = QStringLiteral("/tmp/LCK..") + QFileInfo(pty.device).fileName();
        writeFile(lock, scene == Scene::FreeLine ? "99999999\n" : "         1\n");
        return serialLine(pty.device);
    case Scene::BusyLine:
        if (::ioctl(pty.lineSide, TIOCEXCL) == 0) {
            for (QProcess& holder : holders) { // other programs on the line, each started in full
                holder.setChildProcessModifier([] { ::setsid(); });
                holder.setStandardInputFile(pty.device);
                holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
                holder.waitForStarted();
            }
        }
        return serialLine(pty.device);
    case Scene::ExclusiveLine:
        ::ioctl(pty.lineSide, TIOCEXCL);
        return serialLine(pty.device);
    case Scene::OwnSession:
        holders[0].setStandardInputFile(pty.device);
        holders[0].start(QStringLiteral("sleep"), {QStringLiteral("60")});
        holders[0].waitForStarted();
        return serialLine(pty.device, 19200, 8, PortConfig::Parity::None, 2, PortConfig::Flow::Hardware);
    case Scene::OddFraming:
        return serialLine(pty.device, 9600, 7, PortConfig::Parity::Even);
    }
    return {};
}

} // namespace

class TestPortDoctor : public QObject
{
    Q_OBJECT

private slots:
    void findsWhatStandsInTheWay_data()
    {
        QTest::addColumn<Scene>("scene");
        // Whose rights count, as the test runs as root, who may write anything: -1 the test's own, else
        // those of the user named, in no group of the node but their own and this one.
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("user");
        QTest::addColumn<Finding::Level>("level");
        QTest::addColumn<QString>("words"); // said by a finding of that level, in what it found or advises
        using L = Finding::Level;
        const int lp = int(lpGroup());
        const auto row = [](const char* name, Scene scene, L level, const char* words, int group = -1,
                            const char* user = "qbx-nobody") {
            QTest::newRow(name) << scene << group << user << level << words;
        };
        row("group's device, stranger", Scene::GroupDevice, L::Problem, "sudo usermod -aG lp $USER", 4242);
        row("group's device, member from the next login", Scene::GroupDevice, L::Problem, "newgrp lp", 4242,
            "lp");
        row("group's device, member", Scene::GroupDevice, L::Ok, "group 'lp')", lp);
        row("owner's device, member", Scene::OwnerDevice, L::Problem, "udev rule", lp);
        row("every user's device, stranger", Scene::OpenDevice, L::Ok, "as every user may", 4242);
        row("own device", Scene::OwnDevice, L::Ok, "as its owner", 4242);
        row("missing folder", Scene::NoFolder, L::Problem, "mkdir -p");
        row("file", Scene::ExistingFile, L::Ok, "each transmission replaces it");
        row("the null device, held by every program", Scene::NullDevice, L::Warning, "throws away");
        row("refused", Scene::RefusingPrinter, L::Problem, "connection refused");
        row("listening", Scene::Printer, L::Ok, "accepts connections");
        row("stopped queue", Scene::StoppedQueue, L::Problem, "cupsenable qbxdoctor");
        row("jobs waiting for the printer", Scene::BusyQueue, L::Warning,
            "wait in the print queue 'qbxdoctor' (The printer may not exist or is unavailable at this time)");
        row("no job waiting", Scene::IdleQueue, L::Ok, "No job waits in the print queue");
        row("rejecting queue", Scene::RejectingQueue, L::Problem, "cupsaccept qbxdoctor");
        row("missing queue", Scene::MissingQueue, L::Problem, "does not exist on the print server");
        row("queue with a driver", Scene::QueueWithDriver, L::Warning, "lpadmin -p qbxdoctor -m raw");
        row("held job", Scene::HeldJob, L::Warning, "-H resume");
        row("raw queue", Scene::HeldJob, L::Ok, "is raw");
        row("busy line's holder", Scene::BusyLine, L::Problem, "(sleep) and 1 more");
        row("line in exclusive use", Scene::ExclusiveLine, L::Problem, "is in use by another program.");
        row("locked line", Scene::LockedLine, L::Problem, "by its lock file /tmp/LCK..");
        row("free line", Scene::FreeLine, L::Ok, "takes 9600 baud");
        row("line of this session's own program", Scene::OwnSession, L::Ok,
            "takes 19200 baud, 8 data bits, parity none, 2 stop bits, flow control hardware.");
        row("framing kept", Scene::OddFraming, L::Problem, "does not accept the settings");
        row("the null device as a line", Scene::NullLine, L::Problem, "/dev/null is no serial line");
    }

    void findsWhatStandsInTheWay()
    {
        QFETCH(Scene, scene);
        QFETCH(int, group);
        QFETCH(QString, user);
        QFETCH(Finding::Level, level);
        QFETCH(QString, words);
        if (group >= 0 && ::geteuid() != 0)
            QSKIP("device nodes of another owner need root (mknod, chown)");
        Stage stage;
        const PortConfig config = stage.set(scene);
        QVERIFY2(config.problem().isEmpty(), "the scene could not be made");
        Identity as = Identity::ofThisProcess();
        if (group >= 0)
            as = {4242, {4242, gid_t(group)}, user, false};
        const qbx::Findings findings = qbx::checkPort(config, quickTimeouts(), as);
        bool found = false;
        QStringList shown;
        for (const Finding& f : findings) {
            found = found || (f.level == level && f.problem.text().contains(words));
            shown << qbx::levelName(f.level) + QLatin1Char(' ') + f.problem.text();
        }
        QVERIFY2(found, qPrintable(shown.join(QLatin1Char('\n'))));
        // Only a program that holds the port is advised to be ended: the first one named.
        const QString text = shown.join(QLatin1Char('\n'));
        QCOMPARE(text.contains(QStringLiteral("'kill ")),
                 scene >= Scene::BusyLine && scene <= Scene::LockedLine);
        QVERIFY(scene != Scene::BusyLine ||
                text.contains(QRegularExpression(QStringLiteral(": (\\d+) \\(sleep\\)[^']*'kill \\1'"))));
        // Only what is in the way is a problem.
        QCOMPARE(qbx::hasProblem(findings), level == Finding::Level::Problem);
        if (stage.sink) // a check sends nothing, and leaves no connection open
            QTRY_VERIFY(stage.sink->done() && stage.sink->received().isEmpty());
    }
};

QTEST_MAIN(TestPortDoctor)
#include "testportdoctor.moc"
