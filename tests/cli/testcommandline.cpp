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
#include <QProcess>
#include <QRegularExpression>
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
    void cleanupTestCase() { ::unlink("in\xC1\x80\xC3(.bin"); }

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
            expanded << QByteArray::fromPercentEncoding(expand(a).toUtf8().replace("\\x", "\\"), '\\');
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
        QVERIFY(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600) == 0 &&
                ::symlink("pipe", QFile::encodeName(path("pipe-link")).constData()) == 0 &&
                ::symlink("out.prn", QFile::encodeName(path("out-link.prn")).constData()) == 0);
        QVERIFY(QDir::setCurrent(m_dir.path())); // for the relative names below
        std::ofstream("in.bin") << std::string("\0\x1b\r\n\xff", 5);
        std::ofstream("empty.bin");
        // Simulator state files, whole but for a switch, and damaged in five ways.
        const std::string state = "1=0000\n2=0000\n3=2000\n4=0000\n5=0000\n6=0000\n7=0000\n";
        std::ofstream("no-switch-A.state") << state;
        std::ofstream("twice.state") << state << "A=0000\n3=0000\n";
        std::ofstream("long-word.state") << state << "A=12345\n";
        std::ofstream("colon.state") << state << "A:1234\n";
        std::ofstream("switch-8.state") << "8=0000\n" << state << "A=0000\n";
        std::ofstream("huge.state") << state << "A=0000\n" << std::string(5000, '#') << "\nA=0000\n";
        // The same frame alone, then as the end of a setting.
        std::ofstream("twice.prn") << frames("set 3 2000, clear 3 FF00, set 3 2000").toStdString();
        std::ofstream("stored.prn")
            << frames("clear 2 FF00, set 2 8A00, set 6 0010, store").chopped(1).toStdString();
        std::ofstream("-sync") << "dash";
        // A name that is no UTF-8, and the name Qt's own conversion would make of it.
        std::ofstream("in\xC1\x80\xC3(.bin") << "raw name";
        std::ofstream("in\xEF\xBF\xBD.bin") << "another file";
        std::ofstream("in\x7F\xF0\x9F\x96\xA8.bin") << "del";
        std::ofstream("settings.dst")
            << frames("clear 3 FF00, set 3 0300, clear 5 00FF, set 5 0005, store").toStdString();
        std::ofstream("profile") << "# kiosks\n\n code-page = #4\nasb=enable\n";
        std::ofstream("marked.profile") << "\xEF\xBB\xBF"
                                        << "asb=enable\n";
        std::ofstream("empty.profile") << "# written by a command that failed\n";
        std::ofstream("ports") << expand("# two printers\n@out\n\n  @second  \n").toStdString();
        std::ofstream("bad.ports") << "# kiosks\ntcp:kiosk-1\nlpt1\n";
    }

    void init()
    {
        QFile::remove(path("out.prn"));
        QFile::remove(path("second.prn"));
        QFile::remove(qbx::PortConfig::defaults().filePath);
    }

    void writesExactBytes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QByteArray>("written"); // what out.prn holds afterwards

        const auto row = [&](const char* name, const QStringList& choices, const QString& script) {
            QTest::newRow(name) << QStringList{"store", "--port", "@out"} + choices << "OK @out\n"
                                << frames(script + ", store");
        };
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
        row("a number with an exponent", {"cut-offset=0.025e2"}, "clear 2 FF00, set 2 0A00");
        row("a number with a signed exponent", {"cut-offset=250e-2"}, "clear 2 FF00, set 2 0A00");
        row("delay entry that starts with a number", {"presenter-delay=127.5 seconds"}, "set 5 00FF");
        row("a profile, and an argument that wins over it", {"--from", "profile", "asb=disable"},
            "clear 3 FF00, set 3 0300, clear 7 1000");
        QTest::newRow("send reaches every port unchanged, a list of ports in the order given")
            << QStringList{"send", "in.bin", "--ports-from", "ports"}
            << "OK @out\nOK @second\n2 ports: 2 OK, 0 FAILED, 0 CANCELLED\n"
            << QByteArray("\0\x1b\r\n\xff", 5);
        const auto sent = [](const char* name, const QStringList& arguments, const QByteArray& bytes) {
            QTest::newRow(name) << QStringList{"send", "--port", "@out"} + arguments << "OK @out\n" << bytes;
        };
        sent("a name that is no UTF-8 names its own file", {"in\\xC1\\x80\\xC3(.bin"}, "raw name");
        sent("DEL and a character of four bytes in a name", {"in\x7F\xF0\x9F\x96\xA8.bin"}, "del");
        sent("after --, a name that begins with a dash is a file", {"--", "-sync"}, "dash");
        sent("a pipe, streamed", {"pipe"}, QByteArray("0123456789abcdef").repeated(1 << 17) + "tail");
    }

    void writesExactBytes()
    {
        QFETCH(QStringList, arguments);
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
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, expand(out));
        QCOMPARE(readAll(path("out.prn")), written);
        QCOMPARE(readAll(path("second.prn")),
                 arguments.contains("ports") ? written : QByteArray("<unreadable>"));
    }

    // What a user reads: every command line of tests/golden/transcript.txt (its "$ " lines) is run
    // afresh, and its output, its errors, its exit status and what reached the ports are written
    // below it as they were kept. A usage error or the doctor sends nothing; @out and @second stand
    // for this test's two file ports, @dir for its folder, @printer for a TCP printer's port.
    void transcript()
    {
        // The records of what the ports confirmed start empty.
        qputenv("XDG_STATE_HOME", QFile::encodeName(path("transcript-state")));
        QString shown;
        const QString kept = QString::fromUtf8(readAll(QStringLiteral(QBX_GOLDEN_DIR "/transcript.txt")));
        for (const QString& line : kept.split(QLatin1Char('\n'))) {
            if (!line.startsWith(QLatin1String("$ qbx7config ")))
                continue;
            init();
            const qsizetype before = m_printer.received().size();
            const Outcome r = runWith(QProcess::splitCommand(line.mid(13)));
            shown += line + QLatin1Char('\n') + r.out;
            if (!r.err.isEmpty())
                shown += QStringLiteral("[standard error]\n") + r.err;
            shown += QStringLiteral("[exit %1]\n").arg(r.status);
            for (const char* file : {"out.prn", "second.prn"})
                if (QFile::exists(path(file)))
                    shown += QStringLiteral("[%1: %2 bytes]\n").arg(file).arg(readAll(path(file)).size());
            if (const qsizetype sent = m_printer.received().size() - before)
                shown += QStringLiteral("[printer: %1 bytes]\n").arg(sent);
            shown += QLatin1Char('\n');
        }
        shown.replace(QRegularExpression(QStringLiteral("\"duration\": [-0-9.e]+")),
                      QStringLiteral("\"duration\": N"));
        // What the doctor adds when it runs as root.
        shown.remove(QStringLiteral(" (as the administrator)"));
        shown.replace(qEnvironmentVariable("CUPS_SERVER"), QStringLiteral("@cups"));
        shown.replace(m_dir.path(), QStringLiteral("@dir"))
            .replace(QString::number(m_printer.port()), "@printer");
        QVERIFY(!QFile::exists(qbx::PortConfig::defaults().filePath));
        const QString differs = qbx::test::differsFromKept(QStringLiteral("transcript.txt"), shown.toUtf8());
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
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

    // The manual page describes every command and option of the table, and the program's help lists
    // every command. The manual's PORTS section writes each kind's URI as the program takes it, with
    // every parameter (its value stands for what the text explains).
    void helpAndManualNameEveryCommandOptionAndPortForm()
    {
        const QString manual = QString::fromUtf8(readAll(QStringLiteral(QBX7CONFIG_MANUAL)))
                                   .replace(QStringLiteral("\\-"), QStringLiteral("-"));
        const QString help = runWith({"--help"}).out;
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
