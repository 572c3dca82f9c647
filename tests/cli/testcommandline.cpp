#include "commandline.h"
#include "frames.h"
#include "portconfig.h"

#include <QDir>
#include <QFile>
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

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void settingsListsTheKeys();
    void writesExactBytes_data();
    void writesExactBytes();
    void usageErrorSendsNothing_data();
    void usageErrorSendsNothing();
    void sendStreamsAPipe();
    void failedPortIsReported();
    void savedPortIsUsed();

private:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString filePort(const char* name) const { return QStringLiteral("file:") + path(name); }
    // "@out" and "@second" stand for this test's two file ports.
    QString expand(QString text) const
    {
        return text.replace("@out", filePort("out.prn")).replace("@second", filePort("second.prn"));
    }
    Outcome runWith(const QStringList& arguments) const
    {
        QStringList expanded;
        for (const QString& a : arguments)
            expanded << expand(a);
        std::ostringstream out;
        std::ostringstream err;
        const int status = qbx::cli::runCommandLine(expanded, out, err);
        return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
    }

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
    const auto create = [this](const char* name, const QByteArray& bytes) {
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    QVERIFY(create("in.bin", QByteArray("\0\x1b\r\n\xff", 5)));
    QVERIFY(create("stored.prn", storedFrames("clear 2 FF00, set 2 8A00, set 6 0010").chopped(1)));
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

void TestCommandLine::writesExactBytes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QByteArray>("written"); // what out.prn holds afterwards

    const auto store = [](const QStringList& choices) {
        return QStringList{"store", "--port", "@out"} + choices;
    };
    const auto row = [&](const char* name, const QStringList& choices, const QString& frames) {
        QTest::newRow(name) << store(choices) << "OK @out\n" << storedFrames(frames);
    };
    row("no choices: the store frame alone", {}, "");
    row("entry text, key case and surrounding blanks ignored", {"Zero-Style=  not SLASHED "}, "clear 1 0010");
    row("unique prefix", {"code-page=1252"}, "clear 3 FF00, set 3 2000");
    row("entry number, one of two equal texts", {"code-page=#4"}, "clear 3 FF00, set 3 0300");
    row("catalogue order, not argument order, up to the last key",
        {"pres-status=enable", "asb=enable", "int-char-set=uk", "zero-style=slashed"},
        "set 1 0010, clear 1 000F, set 1 0003, set 7 1000, set 6 0010");
    row("rounding", {"cut-offset=9.9", "presenter-delay=2.7"},
        "clear 2 FF00, set 2 2800, clear 5 00FF, set 5 0005");
    row("lowest values, with units", {"cut-offset=-10mm", "presenter-delay=0s"},
        "clear 2 FF00, set 2 A800, clear 5 00FF, set 5 0000");
    row("highest values", {"cut-offset=31.75 mm", "presenter-delay=127.5"},
        "clear 2 FF00, set 2 7F00, clear 5 00FF, set 5 00FF");
    row("delay entry that starts with a number", {"presenter-delay=127.5 seconds"}, "set 5 00FF");
    QTest::newRow("dry run prints the frames and sends nothing")
        << QStringList{"store", "--dry-run", "--port", "@out", "int-char-set=uk", "cut-offset=-2.5"}
        << "1B 1D 23 2D 31 30 30 30 46 0A 00  clear 1 000F  International Character Set\n"
           "1B 1D 23 2B 31 30 30 30 33 0A 00  set 1 0003  International Character Set = UK\n"
           "1B 1D 23 2D 32 46 46 30 30 0A 00  clear 2 FF00  Cut Position\n"
           "1B 1D 23 2B 32 38 41 30 30 0A 00  set 2 8A00  Cut Position = -2.5 mm\n"
           "1B 1D 23 57 30 30 30 30 30 0A 00  store\n"
        << QByteArray("<missing>");
    QTest::newRow("send reaches every port unchanged")
        << QStringList{"send", m_dir.filePath("in.bin"), "--port", "@out", "--port", "@second"}
        << "OK @out\nOK @second\n"
        << QByteArray("\0\x1b\r\n\xff", 5);
    QTest::newRow("decode of any bytes") << QStringList{"decode", m_dir.filePath("in.bin")}
                                         << "5 other bytes at byte 0\n0 frames, 0 settings, 5 other bytes\n"
                                         << QByteArray("<missing>");
    QTest::newRow("decode names the settings") << QStringList{"decode", m_dir.filePath("stored.prn")}
                                               << "frame 1 at byte 0: clear switch 2, bits 8-15 (FF00)\n"
                                                  "frame 2 at byte 11: set switch 2, bits 9, 11, 15 (8A00)\n"
                                                  "    Cut Position = -2.5 mm\n"
                                                  "frame 3 at byte 22: set switch 6, bit 4 (0010)\n"
                                                  "    Return Presenter Status = Enable\n"
                                                  "10 other bytes at byte 33\n"
                                                  "3 frames, 2 settings, 10 other bytes\n"
                                               << QByteArray("<missing>");
    QTest::newRow("selftest") << QStringList{"selftest", "--port", "@out"} << "OK @out\n"
                              << QByteArray::fromStdString(qbx::selfTestFrame());
}

void TestCommandLine::writesExactBytes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QFETCH(QByteArray, written);

    const Outcome r = runWith(arguments);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, expand(out));
    QCOMPARE(readAll(path("out.prn")), written);
    if (arguments.contains("@second"))
        QCOMPARE(readAll(path("second.prn")), written);
}

void TestCommandLine::usageErrorSendsNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const auto row = [](const QStringList& arguments, const char* message) {
        QTest::newRow(qPrintable(arguments.join(QLatin1Char(' ')))) << arguments << message;
    };
    row({"store", "colour=red"}, "unknown key 'colour'");
    row({"store", "code=1252"}, "unknown key 'code'"); // a prefix of a key is no key
    row({"store", "slashed"}, "'slashed' is not KEY=VALUE");
    row({"store", "zero-style=round"},
        "'round'. The entries are:\n  #0 'No Change'\n  #1 'Not Slashed'\n  #2 'Slashed'\n");
    row({"store", "code-page=437(usa,std. europe)"},
        "pick one by its number:\n  #2 '437(USA,std. Europe) '\n  #4 '437(USA,std. Europe)'\n");
    row({"store", "zero-style=#3"}, "zero-style has no entry #3; its entries are #0 to #2");
    row({"store", "asb=enable", "asb=disable"}, "asb is given more than once");
    row({"store", "cut-offset=31.8"}, "outside");
    row({"store", "cut-offset=-10.25"}, "outside");
    row({"store", "cut-offset=2,5"}, "is not millimetres");
    row({"store", "presenter-delay=128"}, "outside");
    row({"store", "presenter-delay=-0.5"}, "outside");
    row({"store", "presenter-delay=custom"}, "needs its delay");
    row({"store", "--port", "@out", "asb=enable", "nsb=on"}, "nsb: no entry matches 'on'");
    row({"store", "--port", "@out", "--port", "file:"}, "no output file is chosen");
    row({"selftest", "--dry-run"}, "Unknown option 'dry-run'");
    row({"send", "/nonexistent/demo.dmo"}, "does not exist");
    row({"send", "/tmp"}, "is a folder");
    row({"send"}, "exactly one FILE");
    row({"send", path("pipe"), "--port", "@out", "--port", "@second"}, "one port only");
    row({"decode", "/nonexistent/x.dst"}, "cannot read");
    row({"frobnicate"}, "unknown command 'frobnicate'");
    row({"port", "set"}, "port set URI");
    row({"port", "set", "@out", "extra"}, "'port set URI' to save one");
}

// Nothing is saved in this test's configuration folder, so a run that wrongly sent anything
// would leave the default port's file, or out.prn, behind.
void TestCommandLine::usageErrorSendsNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const Outcome r = runWith(arguments);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(message) && r.err.contains("--help'"), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QVERIFY(!QFile::exists(TeskKit::PortConfig::defaults().filePath));
    QVERIFY(!QFile::exists(path("out.prn")));
}

void TestCommandLine::sendStreamsAPipe()
{
    const QByteArray bytes = QByteArray("0123456789abcdef").repeated(1 << 17) + "tail";
    // The writer blocks until the command line opens the pipe, so it runs beside it.
    std::thread writer([&] {
        QFile in(path("pipe"));
        if (in.open(QIODevice::WriteOnly))
            in.write(bytes);
    });
    const Outcome r = runWith({"send", path("pipe"), "--port", "@out"});
    writer.join();
    QCOMPARE(r.status, 0);
    QCOMPARE(readAll(path("out.prn")), bytes);
}

// A failed port neither stops the next one nor passes for a success.
void TestCommandLine::failedPortIsReported()
{
    const QString failing = QStringLiteral("file:") + path("no-such-folder/out.prn");
    const Outcome r = runWith({"store", "--port", failing, "--port", "@out", "asb=enable"});
    QCOMPARE(r.status, 1);
    const QString failed = QStringLiteral("FAILED %1: ").arg(failing);
    QVERIFY2(r.out.startsWith(failed) && r.out.endsWith(expand("\nOK @out\n")), qPrintable(r.out));
    const QString why = r.out.section(QLatin1Char('\n'), 0, 0).mid(failed.size());
    QVERIFY2(!why.isEmpty() && r.err.contains(QStringLiteral("failed while ")) && r.err.contains(why),
             qPrintable(r.err));
    QCOMPARE(readAll(path("out.prn")), storedFrames("set 7 1000"));
}

void TestCommandLine::savedPortIsUsed()
{
    const QString defaultUri = QStringLiteral("file:") + TeskKit::PortConfig::defaults().filePath;
    QCOMPARE(runWith({"port"}).out, defaultUri + QLatin1Char('\n'));
    QCOMPARE(runWith({"port", "set", "@out"}).status, 0);
    QCOMPARE(runWith({"port"}).out, expand("@out\n"));
    QCOMPARE(runWith({"store"}).out, expand("OK @out\n"));
    QCOMPARE(readAll(path("out.prn")), storedFrames(""));
    QCOMPARE(runWith({"port", "set", defaultUri}).status, 0);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "testcommandline.moc"
