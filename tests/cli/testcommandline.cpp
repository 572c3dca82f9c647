#include "cli/commandline.h"
#include "cli/commandtable.h"
#include "framescript.h"
#include "golden.h"
#include "port/portconfig.h"
#include "port/printerport.h"
#include "porttest.h"
#include "settings/catalogue.h"
#include "settings/frames.h"
#include "tcpsink.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <sstream>
#include <thread>

#include <csignal>

#include <sys/stat.h>

using qbx::test::frames;
using qbx::test::readAll;

namespace {

struct Outcome
{
    int status;
    QString out;
    QString err;
};

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    // QTemporaryDir cannot remove a name that is no UTF-8.
    void cleanupTestCase() { ::unlink("in\xFF.bin"); }

private:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    // "@out" and "@second" stand for this test's two file ports, "@dir" for its folder and
    // "@printer" for the TCP port of a printer that must receive nothing.
    QString expand(QString text) const
    {
        return text.replace("@out", "file:" + path("out.prn"))
            .replace("@second", "file:" + path("second.prn"))
            .replace("@dir", m_dir.path())
            .replace("@printer", QString::number(m_printer.port()));
    }
    // The arguments as the shell passes them: bytes, in UTF-8 unless written as \xHH.
    Outcome runWith(const QStringList& arguments) const
    {
        QByteArrayList expanded;
        for (const QString& a : arguments)
            expanded << expand(a).toUtf8().replace("\\xFF", "\xFF");
        std::ostringstream out;
        std::ostringstream err;
        const int status = qbx::cli::runCommandLine(expanded, out, err);
        return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
    }

    QTemporaryDir m_dir;
    const qbx::test::TcpSink m_printer;

private slots:
    // The saved port choice and the default port live under these, so that running this program
    // by hand never touches the user's own.
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(path("home")) && QDir().mkpath(path("config")));
        qputenv("HOME", QFile::encodeName(path("home")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        QVERIFY(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600) == 0);
        QVERIFY(QDir::setCurrent(m_dir.path())); // for the relative names below
        std::ofstream("in.bin") << std::string("\0\x1b\r\n\xff", 5);
        std::ofstream("stored.prn")
            << frames("clear 2 FF00, set 2 8A00, set 6 0010, store").chopped(1).toStdString();
        std::ofstream("-sync") << "dash";
        // A name that is no UTF-8, and the name Qt's own conversion would make of it.
        std::ofstream("in\xFF.bin") << "raw name";
        std::ofstream("in\xEF\xBF\xBD.bin") << "another file";
        std::ofstream("in\x7F\xF0\x9F\x96\xA8.bin") << "del";
        std::ofstream("settings.dst")
            << frames("clear 3 FF00, set 3 0300, clear 5 00FF, set 5 0005, store").toStdString();
        std::ofstream("profile") << "# kiosks\n\n code-page = #4\nasb=enable\n";
        std::ofstream("ports") << expand("# two printers\n@out\n\n  @second  \n").toStdString();
    }

    void init()
    {
        QFile::remove(path("out.prn"));
        QFile::remove(path("second.prn"));
        QFile::remove(qbx::PortConfig::defaults().filePath);
    }

    // Every setting's key, in catalogue order, then its numbered entries; as JSON the same, and the
    // ranges of the two settings that take a number.
    void settingsListsTheKeys()
    {
        const Outcome r = runWith({"settings"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("zero-style  Zero Character Style\n  #0 No Change\n  #1 Not Slashed\n"));
        QStringList withEntries; // "KEY N": the key and the number of its entries
        for (const qbx::Setting& s : qbx::catalogue())
            withEntries << QString::fromUtf8(s.key.data(), qsizetype(s.key.size())) + QLatin1Char(' ') +
                               QString::number(s.entries.size());
        QStringList text;
        for (const QString& setting : r.out.split(QRegularExpression(QStringLiteral("\n(?=\\S)"))))
            text << setting.section(QLatin1String("  "), 0, 0) + QLatin1Char(' ') +
                        QString::number(setting.count(QLatin1String("\n  #")));
        QCOMPARE(text, withEntries);

        QStringList json;
        QJsonObject numbers;
        for (const QJsonValue s :
             QJsonDocument::fromJson(runWith({"settings", "--json"}).out.toUtf8())["settings"].toArray()) {
            json << s["key"].toString() + QLatin1Char(' ') + QString::number(s["entries"].toArray().size());
            if (s["number"].isObject())
                numbers.insert(s["key"].toString(), s["number"]);
        }
        QCOMPARE(json, withEntries);
        QCOMPARE(numbers, QJsonDocument::fromJson(R"({
        "cut-offset": {"minimum": -10, "maximum": 31.75, "step": 0.25, "unit": "mm"},
        "presenter-delay": {"minimum": 0, "maximum": 127.5, "step": 0.5, "unit": "s", "entry": 7}})")
                              .object());
    }

    void writesExactBytes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QByteArray>("written"); // what out.prn holds afterwards

        const auto row = [&](const char* name, const QStringList& choices, const QString& script) {
            QTest::newRow(name) << QStringList{"store", "--port", "@out"} + choices << 0 << "OK @out\n"
                                << frames(script + ", store");
        };
        const QByteArray none("<unreadable>");
        row("entry text, key case and surrounding blanks ignored", {"Zero-Style=  not SLASHED "},
            "clear 1 0010");
        row("unique prefix", {"code-page=1252"}, "clear 3 FF00, set 3 2000");
        row("catalogue order, not argument order, up to the last key",
            {"pres-status=enable", "asb=enable", "int-char-set=uk", "zero-style=slashed"},
            "set 1 0010, clear 1 000F, set 1 0003, set 7 1000, set 6 0010");
        row("rounding", {"cut-offset=9.9", "presenter-delay=2.7"},
            "clear 2 FF00, set 2 2800, clear 5 00FF, set 5 0005");
        row("lowest values, with units", {"cut-offset=-10mm", "presenter-delay=0s"},
            "clear 2 FF00, set 2 A800, clear 5 00FF, set 5 0000");
        row("highest values", {"cut-offset=31.75 mm", "presenter-delay=127.5"},
            "clear 2 FF00, set 2 7F00, clear 5 00FF, set 5 00FF");
        row("a number with an exponent", {"cut-offset=25e-1"}, "clear 2 FF00, set 2 0A00");
        row("delay entry that starts with a number", {"presenter-delay=127.5 seconds"}, "set 5 00FF");
        row("a profile, and an argument that wins over it", {"--from", "profile", "asb=disable"},
            "clear 3 FF00, set 3 0300, clear 7 1000");
        QTest::newRow("dry run prints the frames and sends nothing")
            << QStringList{"store", "--dry-run", "--port", "@out", "int-char-set=uk", "cut-offset=-2.5"} << 0
            << R"(1B 1D 23 2D 31 30 30 30 46 0A 00  clear 1 000F  International Character Set
1B 1D 23 2B 31 30 30 30 33 0A 00  set 1 0003  International Character Set = UK
1B 1D 23 2D 32 46 46 30 30 0A 00  clear 2 FF00  Cut Position
1B 1D 23 2B 32 38 41 30 30 0A 00  set 2 8A00  Cut Position = -2.5 mm
1B 1D 23 57 30 30 30 30 30 0A 00  store
)" << none;
        QTest::newRow("send reaches every port unchanged, a list of ports in the order given")
            << QStringList{"send", "in.bin", "--ports-from", "ports"} << 0
            << "OK @out\nOK @second\n2 ports: 2 OK, 0 FAILED, 0 CANCELLED\n"
            << QByteArray("\0\x1b\r\n\xff", 5);
        const auto sent = [](const char* name, const QStringList& arguments, const QByteArray& bytes) {
            QTest::newRow(name) << QStringList{"send", "--port", "@out"} + arguments << 0 << "OK @out\n"
                                << bytes;
        };
        sent("a name that is no UTF-8 names its own file", {"in\\xFF.bin"}, "raw name");
        sent("DEL and a character of four bytes in a name", {"in\x7F\xF0\x9F\x96\xA8.bin"}, "del");
        sent("after --, a name that begins with a dash is a file", {"--", "-sync"}, "dash");
        sent("a pipe, streamed", {"pipe"}, QByteArray("0123456789abcdef").repeated(1 << 17) + "tail");
        QTest::newRow("one line for a failed port, its name and message on it escaped")
            << QStringList{"selftest", "--port", "file:/nonexistent/a\nOK file:/fake.prn", "--port", "@out"}
            << 1
            << "FAILED file:/nonexistent/a\\x0AOK file:/fake.prn while opening the port: Opening "
               "/nonexistent/a\\x0AOK file:/fake.prn failed: the folder /nonexistent/a\\x0AOK file: does not "
               "exist. Create it or choose another folder.\nOK @out\n2 ports: 1 OK, 1 FAILED, 0 CANCELLED\n"
            << QByteArray::fromStdString(qbx::selfTestFrame());
        QTest::newRow("decode names the settings")
            << QStringList{"decode", "stored.prn"} << 0
            << "frame 1 at byte 0: clear switch 2, bits 8-15 (FF00)\n"
               "frame 2 at byte 11: set switch 2, bits 9, 11, 15 (8A00)\n"
               "    Cut Position = -2.5 mm\n"
               "frame 3 at byte 22: set switch 6, bit 4 (0010)\n"
               "    Return Presenter Status = Enable\n"
               "10 other bytes at byte 33\n"
               "3 frames, 2 settings, 10 other bytes\n"
            << none;
        QTest::newRow("decode as JSON")
            << QStringList{"decode", "--json", "stored.prn"} << 0 << R"({"file":"stored.prn","items":[
    {"bits":"bits 8-15","bytes":"1B 1D 23 2D 32 46 46 30 30 0A 00","command":"clear 2 FF00","offset":0,"partOf":"cut-offset"},
    {"bits":"bits 9, 11, 15","bytes":"1B 1D 23 2B 32 38 41 30 30 0A 00","command":"set 2 8A00","offset":11,"setting":{"choice":"-2.5 mm","key":"cut-offset","name":"Cut Position"}},
    {"bits":"bit 4","bytes":"1B 1D 23 2B 36 30 30 31 30 0A 00","command":"set 6 0010","offset":22,"setting":{"choice":"Enable","key":"pres-status","name":"Return Presenter Status"}},
    {"offset":33,"otherBytes":10}
],"bytes":43,"complete":true,"frames":3,"otherBytes":10,"settings":2}
)" << none;
        QTest::newRow("decode a settings file into its profile")
            << QStringList{"decode", "--profile", "settings.dst"} << 0
            << "# QBX7Config settings: 'qbx7config store --from FILE' sends them again\ncode-page=#4\n"
               "presenter-delay=2.5s\n"
            << none;
        QTest::newRow("no profile gives what store never sends")
            << QStringList{"decode", "--profile", "stored.prn"} << 1 << "" << none;
    }

    void writesExactBytes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QByteArray, written);

        // A pipe's writer blocks until the command line opens the pipe, so it runs beside it.
        std::thread writer([&] {
            if (arguments.contains("pipe"))
                std::ofstream(path("pipe").toStdString()) << written.toStdString();
        });
        const Outcome r = runWith(arguments);
        writer.join();
        // What went wrong is told once: a port's failure in its line, any other on standard error.
        QVERIFY2(r.err.isEmpty() == !r.out.isEmpty(), qPrintable(r.err));
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, expand(out));
        QCOMPARE(readAll(path("out.prn")), written);
        QCOMPARE(readAll(path("second.prn")),
                 arguments.contains("ports") ? written : QByteArray("<unreadable>"));
    }

    void usageErrorOrDoctorSendsNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // a part of standard error; for the doctor, of its findings

        const auto row = [](const QStringList& arguments, const char* message) {
            QTest::newRow(qPrintable(arguments.join(QLatin1Char(' ')))) << arguments << 2 << message;
        };
        row({"store", "colour=red"}, "unknown key 'colour'");
        row({"store", "code=1252"}, "unknown key 'code'"); // a prefix of a key is no key
        row({"store", "slashed"}, "'slashed' is not KEY=VALUE");
        row({"store", "--port", "@out", "asb=enable", "zero-style=round"},
            "zero-style: no entry matches 'round'. The entries are:\n"
            "  #0 'No Change'\n  #1 'Not Slashed'\n  #2 'Slashed'\n");
        row({"store", "code-page=437(usa,std. europe)"},
            "pick one by its number:\n  #2 '437(USA,std. Europe) '\n  #4 '437(USA,std. Europe)'\n");
        row({"store", "zero-style=#3"}, "zero-style has no entry #3; its entries are #0 to #2");
        row({"store", "asb=enable", "asb=disable"}, "asb is given more than once");
        row({"store", "cut-offset=31.8"}, "outside");
        row({"store", "cut-offset=-10.25"}, "outside");
        row({"store", "cut-offset=2,5"}, "is not millimetres");
        row({"store", "cut-offset=--2"}, "is not millimetres");
        row({"store", "cut-offset=1e+-1"}, "is not millimetres");
        row({"store", "presenter-delay=128"}, "outside");
        row({"store", "presenter-delay=-0.5"}, "outside");
        row({"store", "presenter-delay=custom"}, "needs its delay");
        row({"store", "--port", "@out", "--port", "file:"}, "no output file is chosen");
        row({"selftest", "--dry-run"}, "unknown option '--dry-run'");
        row({"store", "-style", "fusion", "asb=enable"},
            "unknown option '-style'"); // the window's, beside a command
        row({"store", "--from", "ports"}, "line 2: 'file:");
        row({"port", "set", "file:o\\xFF"}, "o\\xFF is no UTF-8 text");
        row({"selftest", "--port", "serial:/dev/null?baud=9600&baud=9600"}, "'baud' is given more than once");
        // Another spelling of a port in the list: relative, and through a folder and back.
        row({"selftest", "--port", "file:./x/../out.prn", "--ports-from", "ports"},
            "is named more than once");
        row({"selftest", "--jobs", "0", "--port", "@out"}, "--jobs takes a whole number from 1 to");
        row({"send", "/nonexistent/d€mo.dmo"}, "d€mo.dmo\" cannot be sent: it does not exist");
        row({"send"}, "'send' takes FILE, but got 0 arguments");
        row({"send", path("pipe"), "--port", "@out", "--port", "@second"}, "one port only");
        row({"decode", "/nonexistent/x.dst"}, "cannot read");
        row({"frobnicate"}, "unknown command 'frobnicate'");
        row({"simulate", "--listen", "nowhere"}, "--listen takes HOST:PORT");
        row({"doctor", "--port", "nowhere:x"}, "'nowhere:x' is not a port");
        row({"port", "set"}, "port set URI");
        row({"port", "set", "@out", "extra"}, "'port' takes [set URI], but got 3 arguments");
        // The doctor: the findings of each port as lines, the exit status by the worst of them.
        QTest::newRow("a blank line between ports, what to do after a problem")
            << QStringList{"doctor", "--port", "tcp:127.0.0.1:@printer", "--port", "file:@dir"} << 1
            << "OK 127.0.0.1:@printer accepts connections.\n\nPROBLEM @dir is a folder, not a file.\n"
               "    Choose a file in it, such as @dir/QBX740.prn.\n";
        QTest::newRow("the saved port") << QStringList{"doctor"} << 0 << "QBX740.prn does not exist yet";
        QTest::newRow("json") << QStringList{"doctor", "--json", "--port", "file:@dir"} << 1
                              << "\"level\": \"problem\"";
    }

    // Nothing is saved in this test's configuration folder, so a run that wrongly sent anything
    // would leave the default port's file, or out.prn, behind, or reach the stand-in printer.
    void usageErrorOrDoctorSendsNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);

        const Outcome r = runWith(arguments);
        QCOMPARE(r.status, status);
        if (status == 2) {
            QVERIFY2(r.err.contains(message) && r.err.contains("--help'"), qPrintable(r.err));
            QCOMPARE(r.out, QString());
        } else {
            QVERIFY2(r.out.contains(expand(message)), qPrintable(r.out));
        }
        QVERIFY(m_printer.received().isEmpty());
        QVERIFY(!QFile::exists(qbx::PortConfig::defaults().filePath));
        QVERIFY(!QFile::exists(path("out.prn")));
    }

    // Printers that take their time are served side by side, and an interruption cancels all of
    // them; a refused port neither stops the others nor passes for a success.
    void portsAreServedSideBySide()
    {
        using qbx::test::TcpSink;
        TcpSink slow[] = {TcpSink(TcpSink::Behaviour::NeverRead), TcpSink(TcpSink::Behaviour::NeverRead),
                          TcpSink(TcpSink::Behaviour::NeverRead)};
        QStringList arguments{"selftest", "--port", "@out"};
        QString expected = QRegularExpression::escape(expand("OK @out\n"));
        const auto add = [&](quint16 port, const char* outcome) {
            arguments << "--port" << QStringLiteral("tcp:127.0.0.1:%1").arg(port);
            expected += QStringLiteral("%1 tcp:127.0.0.1:%2 while [^\n]+\n").arg(outcome).arg(port);
        };
        for (const TcpSink& s : slow)
            add(s.port(), "CANCELLED");
        add(TcpSink().port(), "FAILED"); // closed again at once
        Outcome r;
        std::thread run([&] { r = runWith(arguments); });
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(std::begin(slow), std::end(slow),
                                             [](const TcpSink& s) { return s.connections() > 0; }),
                                 5000);
        ::kill(::getpid(), SIGINT);
        run.join();
        QCOMPARE(r.status, 128 + SIGINT);
        expected += QStringLiteral("5 ports: 1 OK, 1 FAILED, 3 CANCELLED\n");
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(expected)).match(r.out).hasMatch(),
                 qPrintable(r.out));
    }

    void savedPortIsUsed()
    {
        const QString defaultUri = QStringLiteral("file:") + qbx::PortConfig::defaults().filePath;
        QCOMPARE(runWith({"port"}).out, defaultUri + QLatin1Char('\n'));
        QCOMPARE(runWith({"port", "set", "tcp:kiosk-07:9101"}).status, 0);
        QCOMPARE(runWith({"port", "set", "@out"}).status, 0);
        QCOMPARE(runWith({"port"}).out, expand("@out\n"));
        // What the network port was set to is kept beside the kind in force, as the window keeps it.
        QSettings saved(qbx::PortSession::settingsFile(std::string(qbx::kPortSettingsKey)),
                        QSettings::IniFormat);
        QCOMPARE(qbx::PortConfig::load(saved).host, QStringLiteral("kiosk-07"));
        QCOMPARE(runWith({"store"}).out, expand("OK @out\n"));
        QCOMPARE(readAll(path("out.prn")), frames("store"));
        QCOMPARE(runWith({"port", "set", defaultUri}).status, 0);
    }

    // Only the desktop platforms need a display server; the window's own options come first.
    void windowNeedsADisplay_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<QByteArray>("platform"); // QT_QPA_PLATFORM
        QTest::addColumn<QByteArray>("display");  // a variable that names a display, if any
        QTest::addColumn<bool>("missing");
        QTest::newRow("nothing set") << QByteArrayList() << QByteArray() << QByteArray() << true;
        QTest::newRow("X11") << QByteArrayList() << QByteArray("xcb") << QByteArray("DISPLAY") << false;
        QTest::newRow("Wayland") << QByteArrayList() << QByteArray() << QByteArray("WAYLAND_DISPLAY")
                                 << false;
        QTest::newRow("VNC") << QByteArrayList() << QByteArray("vnc") << QByteArray() << false;
        QTest::newRow("option over variable")
            << QByteArrayList{"-platform", "offscreen"} << QByteArray("xcb") << QByteArray() << false;
        QTest::newRow("option with =")
            << QByteArrayList{"--platform=wayland"} << QByteArray("offscreen") << QByteArray() << true;
        QTest::newRow("display option")
            << QByteArrayList{"-style", "fusion", "-display", ":3"} << QByteArray() << QByteArray() << false;
    }

    void windowNeedsADisplay()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, display);
        QFETCH(bool, missing);
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            qunsetenv(name);
        if (!platform.isEmpty())
            qputenv("QT_QPA_PLATFORM", platform);
        if (!display.isEmpty())
            qputenv(display.constData(), ":0");
        arguments.prepend("qbx7config");
        std::vector<char*> argv;
        for (QByteArray& argument : arguments)
            argv.push_back(argument.data());
        QCOMPARE(qbx::cli::windowHasNoDisplay(int(argv.size()), argv.data()), missing);
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // The manual page describes every command and option of the table, and the program's help lists
    // every command. The manual's PORTS section writes each kind's URI as the program takes it, with
    // every parameter (its value stands for what the text explains).
    void helpAndManualNameEveryCommandOptionAndPortForm()
    {
        const QString manual = QString::fromUtf8(readAll(QStringLiteral(QBX7CONFIG_MANUAL)))
                                   .replace(QStringLiteral("\\-"), QStringLiteral("-"));
        const QString help = runWith({"--help"}).out;
        QString helpTexts = help;
        for (const qbx::cli::Command& c : qbx::cli::commands())
            helpTexts +=
                QStringLiteral("\n$ qbx7config %1 --help\n").arg(c.name) + runWith({c.name, "--help"}).out;
        const QString differs = qbx::test::Golden(QStringLiteral("help.txt")).differsFrom(helpTexts.toUtf8());
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
        for (const qbx::cli::Command& c : qbx::cli::commands()) {
            QVERIFY2(manual.contains(QStringLiteral(".B qbx7config ") + QLatin1String(c.name)), c.name);
            QVERIFY2(help.contains(QStringLiteral("\n  ") + QLatin1String(c.name) + QLatin1Char(' ')),
                     c.name);
            for (const auto* group : {&c.options, &qbx::cli::commonOptions()})
                for (const qbx::cli::Option* o : *group)
                    QVERIFY2(manual.contains(QStringLiteral("--") + QLatin1String(o->name)), o->name);
        }
        const QRegularExpression value(QStringLiteral("=[^&\\]]*"));
        // A form alternates its fonts word by word: read without the blanks and the font changes.
        const QString ports = QString(manual)
                                  .section(".SH PORTS\n", 1)
                                  .section("\n.S", 0, 0)
                                  .remove(' ')
                                  .remove(QRegularExpression("\\\\f."))
                                  .replace(value, "=");
        for (const qbx::PortKind& kind : qbx::portKinds())
            QVERIFY2(ports.contains(qbx::uriForm(kind, qbx::UriForm::Full).replace(value, "=")), kind.name);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "testcommandline.moc"
