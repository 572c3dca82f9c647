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
    std::string bytes;
    for (const QString& command : script.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList words = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bytes += (words.at(0) == QLatin1String("set") ? qbx::setFrame : qbx::clearFrame)(
            words.at(1).toStdString(), words.at(2).toStdString());
    }
    return QByteArray::fromStdString(bytes + qbx::storeFrame());
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
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
    void settingsListsTheKeys();
    void storeWritesFrames_data();
    void storeWritesFrames();
    void usageErrorSendsNothing_data();
    void usageErrorSendsNothing();
    void dryRunPrintsFramesAndSendsNothing();
    void decodeNamesStoredChoices();
    void anyFileIsSentUnchangedAndDecoded_data();
    void anyFileIsSentUnchangedAndDecoded();
    void sendStreamsAPipe();
    void failedPortIsReported_data();
    void failedPortIsReported();
    void savedPortIsUsed();

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
    QVERIFY(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600) == 0);
}

void TestCommandLine::init()
{
    QFile::remove(path("out.prn"));
    QFile::remove(path("second.prn"));
    QFile::remove(TeskKit::PortConfig::defaults().filePath);
}

// The keys scripts are written against, in catalogue order: renaming one breaks them.
void TestCommandLine::settingsListsTheKeys()
{
    const Outcome r = runWith({"settings"});
    QCOMPARE(r.status, 0);
    QStringList keys;
    for (const QString& line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1Char(' ')))
            keys << line.section(QLatin1String("  "), 0, 0);
    }
    QCOMPARE(keys.join(QLatin1Char(' ')),
             QStringLiteral("zero-style int-char-set code-page char-spacing line-spacing cr-code print-speed "
                            "print-density print-width auto-load ne-sensor ne-type ne-sig-level ne-signal "
                            "start-pos-detect top-search cut-offset presenter-behaviour presenter-delay asb "
                            "nsb pres-status"));
    QVERIFY(r.out.startsWith("zero-style  Zero Character Style\n  #0 No Change\n  #1 Not Slashed\n"));
}

void TestCommandLine::storeWritesFrames_data()
{
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QString>("frames");

    QTest::newRow("no choices: the store frame alone") << QStringList{} << "";
    QTest::newRow("entry text, case and surrounding blanks ignored")
        << QStringList{"zero-style=  not SLASHED "} << "clear 1 0010";
    QTest::newRow("key case ignored") << QStringList{"Zero-Style=slashed"} << "set 1 0010";
    QTest::newRow("unique prefix") << QStringList{"code-page=1252"} << "clear 3 FF00, set 3 2000";
    QTest::newRow("entry number, one of two equal texts")
        << QStringList{"code-page=#4"} << "clear 3 FF00, set 3 0300";
    QTest::newRow("catalogue order, not argument order, up to the last key")
        << QStringList{"pres-status=enable", "asb=enable", "int-char-set=uk", "zero-style=slashed"}
        << "set 1 0010, clear 1 000F, set 1 0003, set 7 1000, set 6 0010";
    QTest::newRow("cut offset rounded") << QStringList{"cut-offset=12.6"} << "clear 2 FF00, set 2 3200";
    QTest::newRow("lowest cut offset, in mm")
        << QStringList{"cut-offset=-10mm"} << "clear 2 FF00, set 2 A800";
    QTest::newRow("highest cut offset") << QStringList{"cut-offset=31.75 mm"} << "clear 2 FF00, set 2 7F00";
    QTest::newRow("delay rounded down") << QStringList{"presenter-delay=2.7"} << "clear 5 00FF, set 5 0005";
    QTest::newRow("lowest delay") << QStringList{"presenter-delay=0"} << "clear 5 00FF, set 5 0000";
    QTest::newRow("highest delay, in s")
        << QStringList{"presenter-delay=127.5s"} << "clear 5 00FF, set 5 00FF";
    QTest::newRow("delay entry that starts with a number")
        << QStringList{"presenter-delay=127.5 seconds"} << "set 5 00FF";
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

    const auto store = [](const QStringList& choices) { return QStringList{"store"} + choices; };
    QTest::newRow("unknown key") << store({"colour=red"}) << "unknown key 'colour'";
    QTest::newRow("prefix of a key is no key") << store({"code=1252"}) << "unknown key 'code'";
    QTest::newRow("not KEY=VALUE") << store({"slashed"}) << "'slashed' is not KEY=VALUE";
    QTest::newRow("unknown value lists every entry")
        << store({"zero-style=round"})
        << "'round'. The entries are:\n  #0 'No Change'\n  #1 'Not Slashed'\n  #2 'Slashed'\n";
    QTest::newRow("two entries equal but for a blank")
        << store({"code-page=437(usa,std. europe)"})
        << "pick one by its number:\n  #2 '437(USA,std. Europe) '\n  #4 '437(USA,std. Europe)'\n";
    QTest::newRow("ambiguous prefix")
        << store({"int-char-set=denmark"}) << "  #5 'Denmark #1'\n  #11 'Denmark #2'\n";
    QTest::newRow("entry number beyond the list")
        << store({"zero-style=#3"}) << "zero-style has no entry #3; its entries are #0 to #2";
    QTest::newRow("key given twice") << store({"asb=enable", "asb=disable"}) << "asb is given more than once";
    QTest::newRow("cut offset above the range") << store({"cut-offset=31.8"}) << "outside";
    QTest::newRow("cut offset below the range") << store({"cut-offset=-10.25"}) << "outside";
    QTest::newRow("cut offset with a comma") << store({"cut-offset=2,5"}) << "is not millimetres";
    QTest::newRow("delay above the range") << store({"presenter-delay=128"}) << "outside";
    QTest::newRow("delay negative") << store({"presenter-delay=-0.5"}) << "outside";
    QTest::newRow("custom without seconds") << store({"presenter-delay=custom"}) << "needs its delay";
    QTest::newRow("a bad choice after good ones, with a good port")
        << store({"--port", filePort("out.prn"), "asb=enable", "nsb=on"}) << "nsb: no entry matches 'on'";
    QTest::newRow("bad second port") << store({"--port", filePort("out.prn"), "--port", "file:"})
                                     << "no output file is chosen";
    QTest::newRow("unknown option") << QStringList{"selftest", "--dry-run"} << "Unknown option 'dry-run'";
    QTest::newRow("send of a missing file")
        << QStringList{"send", "/nonexistent/demo.dmo"} << "does not exist";
    QTest::newRow("send of a folder") << QStringList{"send", "/tmp"} << "is a folder";
    QTest::newRow("send without a file") << QStringList{"send"} << "exactly one FILE";
    QTest::newRow("send of a pipe to two ports")
        << QStringList{"send", path("pipe"), "--port", filePort("out.prn"), "--port", filePort("second.prn")}
        << "one port only";
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

void TestCommandLine::anyFileIsSentUnchangedAndDecoded_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("summary"); // how decode's last line ends

    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    const QByteArray set = QByteArray::fromStdString(qbx::setFrame("1", "0010"));
    QTest::newRow("empty file") << QByteArray() << "0 frames, 0 settings, 0 other bytes";
    QTest::newRow("every byte value, then CR LF") << everyByte + "\r\n"
                                                  << "0 frames, 0 settings, 258 other bytes";
    QTest::newRow("truncated frame") << set.left(7) << "0 frames, 0 settings, 7 other bytes";
    QTest::newRow("frame then truncated store")
        << set + storedFrames("").left(10) << "1 frame, 1 setting, 10 other bytes";
    QTest::newRow("a megabyte of random bytes") << randomBytes(1 << 20, 7) << " other bytes";
}

// Every port gets the file byte for byte; decode reads anything.
void TestCommandLine::anyFileIsSentUnchangedAndDecoded()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, summary);
    QFile in(path("in.bin"));
    QVERIFY(in.open(QIODevice::WriteOnly) && in.write(bytes) == bytes.size());
    in.close();

    const Outcome sent =
        runWith({"send", path("in.bin"), "--port", filePort("out.prn"), "--port", filePort("second.prn")});
    QCOMPARE(sent.status, 0);
    QCOMPARE(sent.out, QStringLiteral("OK %1\nOK %2\n").arg(filePort("out.prn"), filePort("second.prn")));
    QCOMPARE(readAll(path("out.prn")), bytes);
    QCOMPARE(readAll(path("second.prn")), bytes);

    const Outcome decoded = runWith({"decode", path("in.bin")});
    QCOMPARE(decoded.status, 0);
    QVERIFY2(decoded.out.endsWith(summary + QLatin1Char('\n')), qPrintable(decoded.out.right(200)));
}

void TestCommandLine::sendStreamsAPipe()
{
    const QByteArray bytes = randomBytes(2 * (1 << 20) + 5, 3);
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

void TestCommandLine::failedPortIsReported_data()
{
    QTest::addColumn<QString>("failing");

    QTest::newRow("file in a missing folder") << QStringLiteral("file:") + path("no-such-folder/out.prn");
    QTcpServer server; // a port that was free a moment ago refuses once the server is gone
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTest::newRow("refused tcp port on loopback")
        << QStringLiteral("tcp:127.0.0.1:%1").arg(server.serverPort());
}

// A failed port neither stops the next one nor passes for a success.
void TestCommandLine::failedPortIsReported()
{
    QFETCH(QString, failing);
    if (!TeskKit::PortConfig::fromUri(failing))
        QSKIP("this build has no such port kind yet");

    const Outcome r = runWith({"store", "--port", failing, "--port", filePort("out.prn"), "asb=enable"});
    QCOMPARE(r.status, 1);
    const QString failed = QStringLiteral("FAILED %1: ").arg(failing);
    QVERIFY2(r.out.startsWith(failed), qPrintable(r.out));
    QVERIFY(r.out.endsWith(QStringLiteral("\nOK %1\n").arg(filePort("out.prn"))));
    const QString why = r.out.section(QLatin1Char('\n'), 0, 0).mid(failed.size());
    QVERIFY2(!why.isEmpty() && r.err.contains(why), qPrintable(r.err));
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

QTEST_GUILESS_MAIN(TestCommandLine)
#include "testcommandline.moc"
