#include "commandline.h"
#include "frames.h"
#include "portconfig.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>
#include <thread>

#include <sys/stat.h>

namespace {

struct Outcome
{
    int status;
    QString out;
    QString err;
};

Outcome runWith(const QStringList& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = qbx::cli::runCommandLine(arguments, out, err);
    return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
}

// "clear 1 000F, set 1 0003" as the bytes of the frames, followed by the store frame.
QByteArray storedFrames(const QString& script)
{
    QByteArray bytes;
    for (const QString& command : script.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList words = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const std::string sw = words.at(1).toStdString();
        const std::string mask = words.at(2).toStdString();
        bytes += QByteArray::fromStdString(words.at(0) == QLatin1String("set") ? qbx::setFrame(sw, mask)
                                                                               : qbx::clearFrame(sw, mask));
    }
    return bytes + QByteArray::fromStdString(qbx::storeFrame());
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = static_cast<char>(random.bounded(256));
    return bytes;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void storeWritesFrames_data();
    void storeWritesFrames();
    void usageErrorSendsNothing_data();
    void usageErrorSendsNothing();
    void dryRunPrintsFramesAndSendsNothing();
    void decodeNamesStoredChoices();
    void decodeSurvivesAnyFile_data();
    void decodeSurvivesAnyFile();
    void sendPassesBytesUnchanged_data();
    void sendPassesBytesUnchanged();
    void sendStreamsAPipeToOnePort();
    void failedPortIsReported();
    void refusedTcpPortIsReported();
    void savedPortIsUsed();
    void wantsCommandLine_data();
    void wantsCommandLine();

private:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString filePort(const char* name) const { return QStringLiteral("file:") + path(name); }

    QTemporaryDir m_dir;
};

// The saved port choice and the default port live under these, so that running this program
// by hand never touches the user's own.
void TestCommandLine::initTestCase()
{
    QVERIFY(QDir().mkpath(path("home")) && QDir().mkpath(path("config")));
    qputenv("HOME", QFile::encodeName(path("home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
}

void TestCommandLine::init()
{
    QFile::remove(path("out.prn"));
    QFile::remove(TeskKit::PortConfig::defaults().filePath);
}

void TestCommandLine::storeWritesFrames_data()
{
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QString>("frames");

    QTest::newRow("no choices: the store frame alone") << QStringList{} << "";
    QTest::newRow("entry text") << QStringList{"zero-style=Slashed"} << "set 1 0010";
    QTest::newRow("case and surrounding blanks ignored")
        << QStringList{"zero-style=  not SLASHED "} << "clear 1 0010";
    QTest::newRow("key case ignored") << QStringList{"Zero-Style=slashed"} << "set 1 0010";
    QTest::newRow("unique prefix") << QStringList{"code-page=1252"} << "clear 3 FF00, set 3 2000";
    QTest::newRow("prefix with blanks inside")
        << QStringList{"presenter-behaviour=no loop - hold - e"} << "clear 6 000f, set 6 0003";
    QTest::newRow("entry number") << QStringList{"code-page=#26"} << "clear 3 FF00, set 3 4000";
    QTest::newRow("entry number picks one of two equal texts")
        << QStringList{"code-page=#4"} << "clear 3 FF00, set 3 0300";
    QTest::newRow("entry 0 is no change") << QStringList{"code-page=#0"} << "";
    QTest::newRow("no change by text") << QStringList{"asb=no change"} << "";
    QTest::newRow("misspelt entry as listed") << QStringList{"auto-load=dissable"} << "set 6 1000";
    QTest::newRow("density normal is code 4")
        << QStringList{"print-density=normal"} << "clear 2 0007, set 2 0004";
    QTest::newRow("catalogue order, not argument order")
        << QStringList{"asb=enable", "int-char-set=uk", "zero-style=slashed"}
        << "set 1 0010, clear 1 000F, set 1 0003, set 7 1000";
    QTest::newRow("cut offset rounds to the quarter")
        << QStringList{"cut-offset=12.6"} << "clear 2 FF00, set 2 3200";
    QTest::newRow("cut offset with unit") << QStringList{"cut-offset=-2.5mm"} << "clear 2 FF00, set 2 8A00";
    QTest::newRow("cut offset tie to even") << QStringList{"cut-offset=0.125"} << "clear 2 FF00, set 2 0000";
    QTest::newRow("cut offset at the top")
        << QStringList{"cut-offset=31.75 mm"} << "clear 2 FF00, set 2 7F00";
    QTest::newRow("cut offset at the bottom") << QStringList{"cut-offset=-10"} << "clear 2 FF00, set 2 A800";
    QTest::newRow("delay rounds down to half seconds")
        << QStringList{"presenter-delay=2.7"} << "clear 5 00FF, set 5 0005";
    QTest::newRow("delay with unit") << QStringList{"presenter-delay=30s"} << "clear 5 00FF, set 5 003C";
    QTest::newRow("delay at the top") << QStringList{"presenter-delay=127.5"} << "clear 5 00FF, set 5 00FF";
    QTest::newRow("delay entry by text") << QStringList{"presenter-delay=command"} << "clear 5 00FF";
    QTest::newRow("delay maximum entry is one frame") << QStringList{"presenter-delay=#6"} << "set 5 00FF";
    QTest::newRow("delay entry that starts with a digit")
        << QStringList{"presenter-delay=10 seconds"} << "clear 5 00FF, set 5 0014";
}

void TestCommandLine::storeWritesFrames()
{
    QFETCH(QStringList, choices);
    QFETCH(QString, frames);

    const Outcome r = runWith(QStringList{"store", "--port", filePort("out.prn")} + choices);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("OK %1\n").arg(filePort("out.prn")));
    QCOMPARE(readAll(path("out.prn")), storedFrames(frames));
}

void TestCommandLine::usageErrorSendsNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown key") << QStringList{"store", "colour=red"} << "unknown key 'colour'";
    QTest::newRow("not KEY=VALUE") << QStringList{"store", "slashed"} << "'slashed' is not KEY=VALUE";
    QTest::newRow("unknown value lists every entry")
        << QStringList{"store", "zero-style=round"}
        << "no entry matches 'round'. The entries are:\n"
           "  #0 'No Change'\n  #1 'Not Slashed'\n  #2 'Slashed'\n";
    QTest::newRow("two entries equal but for a blank")
        << QStringList{"store", "code-page=437(usa,std. europe)"}
        << "several entries; pick one by its number:\n"
           "  #2 '437(USA,std. Europe) '\n  #4 '437(USA,std. Europe)'\n";
    QTest::newRow("ambiguous prefix")
        << QStringList{"store", "int-char-set=denmark"} << "  #5 'Denmark #1'\n  #11 'Denmark #2'\n";
    QTest::newRow("entry number beyond the list")
        << QStringList{"store", "zero-style=#3"} << "zero-style has no entry #3; its entries are #0 to #2";
    QTest::newRow("key given twice") << QStringList{"store", "asb=enable", "asb=disable"}
                                     << "asb is given more than once";
    QTest::newRow("cut offset above the range") << QStringList{"store", "cut-offset=31.8"} << "outside";
    QTest::newRow("cut offset below the range") << QStringList{"store", "cut-offset=-10.25"} << "outside";
    QTest::newRow("cut offset with a comma")
        << QStringList{"store", "cut-offset=2,5"} << "is not millimetres";
    QTest::newRow("cut offset not a number")
        << QStringList{"store", "cut-offset=left"} << "is not millimetres";
    QTest::newRow("cut offset infinite") << QStringList{"store", "cut-offset=1e999"} << "outside";
    QTest::newRow("delay above the range") << QStringList{"store", "presenter-delay=128"} << "outside";
    QTest::newRow("delay negative") << QStringList{"store", "presenter-delay=-0.5"} << "outside";
    QTest::newRow("custom without seconds")
        << QStringList{"store", "presenter-delay=custom"} << "needs its delay";
    QTest::newRow("a bad choice after good ones")
        << QStringList{"store", "asb=enable", "nsb=maybe"} << "nsb: no entry";
    QTest::newRow("bad port") << QStringList{"store", "--port", "pigeon:coop", "asb=enable"}
                              << "--port pigeon:coop";
    QTest::newRow("bad choice with a good port")
        << QStringList{"store", "--port", filePort("out.prn"), "asb=on"} << "asb: no entry matches 'on'";
    QTest::newRow("bad second port") << QStringList{"store", "--port", filePort("out.prn"), "--port", "file:"}
                                     << "names no file";
    QTest::newRow("unknown option") << QStringList{"store", "--fast", "asb=enable"}
                                    << "Unknown option 'fast'";
    QTest::newRow("dry run is for store only")
        << QStringList{"selftest", "--dry-run"} << "Unknown option 'dry-run'";
    QTest::newRow("send of a missing file") << QStringList{"send", "/nonexistent/demo.dmo"} << "cannot read";
    QTest::newRow("send of a folder") << QStringList{"send", "/tmp"} << "is a folder";
    QTest::newRow("send without a file") << QStringList{"send"} << "exactly one FILE";
    QTest::newRow("decode of a missing file") << QStringList{"decode", "/nonexistent/x.dst"} << "cannot read";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command 'frobnicate'";
    QTest::newRow("port set without a URI") << QStringList{"port", "set"} << "port set URI";
}

// Nothing is saved in this test's configuration folder, so a run that wrongly sent anything
// would leave the default port's file, or out.prn, behind.
void TestCommandLine::usageErrorSendsNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const Outcome r = runWith(arguments);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY2(r.err.contains("--help'"), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QVERIFY(!QFile::exists(TeskKit::PortConfig::defaults().filePath));
    QVERIFY(!QFile::exists(path("out.prn")));
}

void TestCommandLine::dryRunPrintsFramesAndSendsNothing()
{
    const Outcome r =
        runWith({"store", "--dry-run", "--port", filePort("out.prn"), "int-char-set=uk", "cut-offset=-2.5"});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out,
             QStringLiteral("1B 1D 23 2D 31 30 30 30 46 0A 00  clear 1 000F  International Character Set\n"
                            "1B 1D 23 2B 31 30 30 30 33 0A 00  set 1 0003  International Character Set = UK\n"
                            "1B 1D 23 2D 32 46 46 30 30 0A 00  clear 2 FF00  Cut Position\n"
                            "1B 1D 23 2B 32 38 41 30 30 0A 00  set 2 8A00  Cut Position = -2.5 mm\n"
                            "1B 1D 23 57 30 30 30 30 30 0A 00  store\n"));
    QVERIFY(!QFile::exists(path("out.prn")));
}

void TestCommandLine::decodeNamesStoredChoices()
{
    const QStringList choices{"zero-style=slashed", "code-page=1252",      "print-speed=medium",
                              "cut-offset=-2.5",    "presenter-delay=2.5", "pres-status=enable"};
    QCOMPARE(runWith(QStringList{"store", "--port", filePort("out.prn")} + choices).status, 0);

    const Outcome r = runWith({"decode", path("out.prn")});
    QCOMPARE(r.status, 0);
    for (const char* line :
         {"    Zero Character Style = Slashed\n", "    Code Page = 1252 (Windows Latin-1)\n",
          "    Default Print Speed = Medium Speed (110mm/s)\n", "    Cut Position = -2.5 mm\n",
          "    Presenter Timer = Custom 2.5s\n", "    Return Presenter Status = Enable\n",
          "frame 2 at byte 11: clear switch 3, bits 8-15 (FF00)\n",
          "store: the printer keeps its switch values\n"})
        QVERIFY2(r.out.contains(QLatin1String(line)), line);
    QVERIFY(r.out.endsWith(QLatin1String("\n11 frames, 6 settings, 0 other bytes\n")));
}

void TestCommandLine::decodeSurvivesAnyFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("summary");

    const QByteArray set = QByteArray::fromStdString(qbx::setFrame("1", "0010"));
    QTest::newRow("empty file") << QByteArray() << "0 frames, 0 settings, 0 other bytes";
    QTest::newRow("truncated frame") << set.left(7) << "0 frames, 0 settings, 7 other bytes";
    QTest::newRow("frame then truncated store") << set + QByteArray::fromStdString(qbx::storeFrame()).left(10)
                                                << "1 frame, 1 setting, 10 other bytes";
    QTest::newRow("a megabyte of random bytes") << randomBytes(1 << 20, 7) << "";
}

void TestCommandLine::decodeSurvivesAnyFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, summary);
    writeFile(path("in.bin"), bytes);
    const Outcome r = runWith({"decode", path("in.bin")});
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.endsWith(QLatin1String(" other bytes\n")) ||
            r.out.endsWith(QLatin1String(" other byte\n")));
    if (!summary.isEmpty())
        QVERIFY2(r.out.endsWith(summary + QLatin1Char('\n')), qPrintable(r.out));
}

void TestCommandLine::sendPassesBytesUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    QTest::newRow("every byte value, NUL and ESC included") << everyByte;
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("CR LF untranslated") << QByteArray("line\r\nline\n\r");
    QTest::newRow("larger than any chunk") << randomBytes(3 * (1 << 20) + 17, 11);
}

void TestCommandLine::sendPassesBytesUnchanged()
{
    QFETCH(QByteArray, bytes);
    writeFile(path("demo.dmo"), bytes);
    QFile::remove(path("second.prn"));

    const Outcome r =
        runWith({"send", path("demo.dmo"), "--port", filePort("out.prn"), "--port", filePort("second.prn")});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("OK %1\nOK %2\n").arg(filePort("out.prn"), filePort("second.prn")));
    QCOMPARE(readAll(path("out.prn")), bytes);
    QCOMPARE(readAll(path("second.prn")), bytes);
}

void TestCommandLine::sendStreamsAPipeToOnePort()
{
    const QByteArray fifo = QFile::encodeName(path("pipe"));
    QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
    const QByteArray bytes = randomBytes(2 * (1 << 20) + 5, 3);

    const Outcome twice =
        runWith({"send", path("pipe"), "--port", filePort("out.prn"), "--port", filePort("b.prn")});
    QCOMPARE(twice.status, 2);
    QVERIFY2(twice.err.contains("one port only"), qPrintable(twice.err));

    // The writer blocks until the command line opens the pipe, so it runs beside it.
    std::thread writer([&] {
        QFile in(path("pipe"));
        if (in.open(QIODevice::WriteOnly))
            in.write(bytes);
    });
    const Outcome r = runWith({"send", path("pipe"), "--port", filePort("out.prn")});
    writer.join();
    QCOMPARE(r.status, 0);
    QCOMPARE(readAll(path("out.prn")), bytes);
}

void TestCommandLine::failedPortIsReported()
{
    const QString missing = QStringLiteral("file:") + path("no-such-folder/out.prn");
    const Outcome r = runWith({"selftest", "--port", missing, "--port", filePort("out.prn")});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.out.startsWith(QStringLiteral("FAILED %1: ").arg(missing)), qPrintable(r.out));
    QVERIFY(r.out.endsWith(QStringLiteral("\nOK %1\n").arg(filePort("out.prn"))));
    QVERIFY2(r.err.contains(path("no-such-folder/out.prn")), qPrintable(r.err));
    QCOMPARE(readAll(path("out.prn")), QByteArray::fromStdString(qbx::selfTestFrame()));
}

void TestCommandLine::refusedTcpPortIsReported()
{
    if (!TeskKit::PortConfig::fromUri(QStringLiteral("tcp:127.0.0.1:1")))
        QSKIP("this build has no tcp: port yet");
    quint16 port = 0;
    {
        QTcpServer server; // a port that was free a moment ago refuses once the server is gone
        QVERIFY(server.listen(QHostAddress::LocalHost));
        port = server.serverPort();
    }
    const QString uri = QStringLiteral("tcp:127.0.0.1:%1").arg(port);
    const Outcome r = runWith({"store", "--port", uri, "--port", filePort("out.prn"), "asb=enable"});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.out.startsWith(QStringLiteral("FAILED %1: ").arg(uri)), qPrintable(r.out));
    QVERIFY(r.out.endsWith(QStringLiteral("\nOK %1\n").arg(filePort("out.prn"))));
    QVERIFY(!r.err.isEmpty());
    QCOMPARE(readAll(path("out.prn")), storedFrames("set 7 1000"));
}

void TestCommandLine::savedPortIsUsed()
{
    const QString defaultUri = QStringLiteral("file:") + TeskKit::PortConfig::defaults().filePath;
    QCOMPARE(runWith({"port"}).out, defaultUri + QLatin1Char('\n'));

    const Outcome saved = runWith({"port", "set", filePort("out.prn")});
    QCOMPARE(saved.status, 0);
    QCOMPARE(runWith({"port"}).out, filePort("out.prn") + QLatin1Char('\n'));

    const Outcome r = runWith({"selftest"});
    QCOMPARE(r.out, QStringLiteral("OK %1\n").arg(filePort("out.prn")));
    QCOMPARE(readAll(path("out.prn")), QByteArray::fromStdString(qbx::selfTestFrame()));

    QCOMPARE(runWith({"port", "set", defaultUri}).status, 0);
}

void TestCommandLine::wantsCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("wanted");

    QTest::newRow("no arguments") << QStringList{} << false;
    QTest::newRow("platform option") << QStringList{"-platform", "offscreen"} << false;
    QTest::newRow("platform option with two dashes") << QStringList{"--platform", "offscreen"} << false;
    QTest::newRow("style with inline value") << QStringList{"-style=fusion", "-reverse"} << false;
    QTest::newRow("sub-command") << QStringList{"settings"} << true;
    QTest::newRow("sub-command after a window option")
        << QStringList{"-platform", "offscreen", "selftest"} << true;
    QTest::newRow("help") << QStringList{"--help"} << true;
    QTest::newRow("version") << QStringList{"--version"} << true;
    QTest::newRow("anything else is a usage error, not a window") << QStringList{"settigns"} << true;
}

void TestCommandLine::wantsCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, wanted);
    std::vector<QByteArray> storage{"qbx7config"};
    for (const QString& a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    QCOMPARE(qbx::cli::wantsCommandLine(int(argv.size()), argv.data()), wanted);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "testcommandline.moc"
