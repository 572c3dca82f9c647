#include "cli/commandtable.h"

#include "cli/commands.h"
#include "cli/fleet.h"
#include "port/portkinds.h"
#include "settings/entrynormalise.h"

#include <algorithm>

namespace qbx::cli {
namespace options {

const Option port{"port", "URI",
                  QStringLiteral("a printer port (see PORTS in 'qbx7config --help'); may be repeated"), true};
const Option portsFrom{"ports-from", "FILE",
                       QStringLiteral("the ports listed in FILE, one URI a line; blank lines and lines\n"
                                      "beginning with '#' are skipped; may be repeated"),
                       true};
const Option jobs{"jobs", "N",
                  QStringLiteral("send to at most N ports at a time, 1 to %1 (default %2)")
                      .arg(kMaxJobs)
                      .arg(kDefaultJobs)};
const Option dryRun{"dry-run", nullptr,
                    QStringLiteral("send nothing; print each frame in hexadecimal with what it does")};
const Option ifChanged{"if-changed", nullptr,
                       QStringLiteral("send nothing to a port whose record (see RECORD) already holds every\n"
                                      "value named: its line says \"UNCHANGED URI\"; with --dry-run, say\n"
                                      "which ports would be sent to")};
const Option from{"from", "FILE",
                  QStringLiteral("take KEY=VALUE lines from FILE, a profile (blank lines and lines\n"
                                 "beginning with '#' are skipped); KEY=VALUE arguments win over it")};
const Option profile{"profile", nullptr,
                     QStringLiteral("print the profile that makes 'store --from' send the same settings\n"
                                    "again, instead of the frames")};
const Option json{"json", nullptr,
                  QStringLiteral("print JSON on standard output instead of text (with 'simulate',\n"
                                 "one object a line for each event)")};
const Option help{"help", nullptr, QStringLiteral("this text (also -h)")};
const Option listen{"listen", "HOST:PORT",
                    QStringLiteral("listen on this address (default 127.0.0.1:9100; PORT 0 picks a free\n"
                                   "one, [::1]:PORT for IPv6)")};
const Option pty{"pty", nullptr,
                 QStringLiteral("also receive on a pseudo-terminal, for serial:DEVICE ports and the\n"
                                "window's serial line")};
const Option idle{"idle", "SECONDS",
                  QStringLiteral("end a TCP connection that sends nothing for SECONDS (10 unless\n"
                                 "given; 0: never), as printers end idle connections")};
const Option state{"state", "FILE",
                   QStringLiteral("keep the stored switch values in FILE, read at start and written\n"
                                  "at each store frame (without it they start at 0000)")};

} // namespace options

namespace {

using namespace options;

QString storeHelp()
{
    return QStringLiteral(
               "Sends the settings given, as \"Store Settings\" does in the window, and makes the printer\n"
               "keep them. Every setting not named stays at \"No Change\".\n"
               "\n"
               "  KEY                       a key from 'qbx7config settings', such as code-page\n"
               "  VALUE                     #N picks entry N. Any other value is matched against the\n"
               "                            entries, ignoring case and surrounding blanks: an exact match\n"
               "                            first, else the one entry that begins with it (\"1252\" picks\n"
               "                            \"1252 (Windows Latin-1)\"). Quote values with blanks.\n"
               "  cut-offset=MM             ticks \"Adjust Cut Position\": %1, rounded to the\n"
               "                            nearest 0.25 mm (\"12.6\" gives 12.5 mm; \"mm\" may follow)\n"
               "  presenter-delay=SECONDS   chooses \"Custom\" with that delay: %2, rounded down\n"
               "                            to half seconds (\"2.7\" gives 2.5 s; \"s\" may follow). A "
               "value\n"
               "                            that is not a number is matched against the entries.\n"
               "\n"
               "RECORD: each store that a printer confirmed is recorded for that printer, whatever name\n"
               "reaches it, in $XDG_STATE_HOME/qbx7config, by default ~/.local/state/qbx7config: the\n"
               "value of every setting sent ('send' makes it forget the printer). --if-changed trusts\n"
               "it. The record knows only what this account sent and the printer confirmed: a printer\n"
               "reset, replaced or set by other means is unknown to it, and then a plain store (which\n"
               "always sends) sets things right.\n")
        .arg(QString::fromStdString(cutOffsetRangeText()), QString::fromStdString(presenterDelayRangeText()));
}

const QString kSendingNote = QStringLiteral(
    "\nEach port gets one line, in the order given: \"OK URI\" (the printer confirmed every byte),\n"
    "\"FAILED URI while STAGE: why\" or \"CANCELLED URI\"; with several ports a count follows.\n");

std::vector<Command> makeTable()
{
    const std::vector<const Option*> sending{&port, &portsFrom, &jobs};
    auto with = [&sending](std::vector<const Option*> more) {
        more.insert(more.begin(), sending.begin(), sending.end());
        return more;
    };
    return {
        {"settings",
         "",
         0,
         0,
         {},
         "list every setting with its key and its numbered entries",
         QStringLiteral("Lists every setting: its key for 'store', its label in the window, and its entries\n"
                        "numbered as in the window's lists. \"#0 No Change\" leaves a setting as it is.\n"),
         runSettings},
        {"store", "[KEY=VALUE...]", 0, -1, with({&dryRun, &ifChanged, &from}),
         "send new settings and make the printer keep them", storeHelp() + kSendingNote, runStore},
        {"selftest", "", 0, 0, sending, "print the printer's self-test page",
         QStringLiteral("Makes the printer print its self-test page, as \"Print Self Test Page\" does.\n") +
             kSendingNote,
         runSelfTest},
        {"send", "FILE", 1, 1, sending, "pass a file (a demo or settings file) to the printer unchanged",
         QStringLiteral(
             "Passes FILE to the printer byte for byte, as \"Print External Data File\" does in the\n"
             "window: a printer demo file (.dmo), a printer settings file (.dst) or any other data.\n"
             "Files of any size are streamed, never read into memory; a pipe goes to one port only.\n") +
             kSendingNote,
         runSend},
        {"decode",
         "FILE",
         1,
         1,
         {&profile},
         "show what the printer frames in a file do",
         QStringLiteral(
             "Shows, frame by frame, what the printer commands in FILE do: the switch and bits each\n"
             "frame clears or sets, and the setting and entry that a group of frames chooses, such\n"
             "as \"Code Page = 1252 (Windows Latin-1)\". Bytes that are not frames are counted.\n"
             "FILE is streamed: any size decodes in little memory, up to %1 bytes. Nothing is sent.\n")
             .arg(kDecodeLimit),
         runDecode},
        {"port",
         "[set URI]",
         0,
         2,
         {},
         "show the saved port; 'port set URI' saves another",
         QStringLiteral(
             "Shows the saved port choice, or saves another. The window uses the same choice, and\n"
             "every command without --port sends to it. URI is one of the forms under PORTS in\n"
             "'qbx7config --help', such as tcp:192.168.1.50 or file:/home/me/QBX740.prn.\n"),
         runPort},
        {"simulate",
         "",
         0,
         0,
         {&listen, &pty, &state, &idle},
         "act as a QBX740 on this computer and show what it receives",
         QStringLiteral(
             "Acts as a QBX740 that listens on TCP (and with --pty on a pseudo-terminal) and shows what\n"
             "each transmission does once it ends: for every switch that changed, the setting and the\n"
             "entry its bits now hold, such as \"switch 3: 0000 → 2000, Code Page = 1252 (Windows\n"
             "Latin-1)\", and the bytes that were no frames as print data. The self-test frame prints\n"
             "the self-test page: the stored switch words and every setting's entry, or \"not an entry\n"
             "of the list\". It takes one transmission at a time; the next client waits. The first\n"
             "lines name where it listens, \"listening on URI\", a URI for --port.\n"
             "\n"
             "Set and clear frames change the present values, which last while it runs, across\n"
             "connections; the store frame makes it keep them, in --state FILE if given, from which the\n"
             "next start begins. On the pseudo-terminal a transmission ends when the writer closes the\n"
             "device or pauses for 2 seconds. With --json each event is one JSON object on a line of\n"
             "its own. It runs until Ctrl+C or SIGTERM, then reports the transmission under way and\n"
             "ends with status 0.\n"),
         runSimulate,
         true},
        {"doctor",
         "",
         0,
         0,
         {&port, &portsFrom},
         "check the ports and say what stands in the way, sending nothing",
         QStringLiteral(
             "Checks each port, or the saved one, without sending anything: that a file or device\n"
             "exists and you may write it, that a network printer takes a connection, that a print\n"
             "queue is enabled, accepts jobs, is raw and has no job waiting, that a serial line is\n"
             "free and takes its settings. Each finding gets a line beginning \"OK\", \"WARNING\" or\n"
             "\"PROBLEM\", and what to do follows, indented. The exit status is 0 when no finding is\n"
             "a PROBLEM, else 1.\n"),
         runDoctor},
        {"help",
         "[COMMAND]",
         0,
         1,
         {},
         "this text, or the help of one command",
         QStringLiteral("Shows the help of the program, or of one command.\n"),
         runHelp},
        {"completion",
         "bash",
         1,
         1,
         {},
         "print the shell completion script",
         QStringLiteral(
             "Prints the script that completes commands, options, setting keys and their values\n"
             "in bash. The package installs it; to try it: source <(qbx7config completion bash)\n"),
         runCompletion},
    };
}

QString optionText(const Option& option)
{
    QString text = QStringLiteral("--") + QLatin1String(option.name);
    if (option.value)
        text += QLatin1Char(' ') + QLatin1String(option.value);
    return text;
}

QString optionLines(const std::vector<const Option*>& list)
{
    QString lines;
    for (const Option* o : list) {
        const QString indent(22, QLatin1Char(' '));
        lines += QStringLiteral("  %1  %2\n")
                     .arg(optionText(*o), -18)
                     .arg(QString(o->help).replace("\n", "\n" + indent));
    }
    return lines;
}

// "  NAME                TEXT", as the help lists commands and ports.
QString columnLine(const QString& name, const QString& text)
{
    constexpr int kWidth = 18;
    // A name too long for its column gets the text on a line of its own.
    const QString column =
        name.size() > kWidth ? name + QStringLiteral("\n") + QString(kWidth + 2, QLatin1Char(' ')) : name;
    return QStringLiteral("  %1  %2\n").arg(column, -kWidth).arg(text);
}

QString portLines()
{
    QString lines;
    for (const qbx::PortKind& kind : qbx::portKinds())
        lines += columnLine(qbx::uriForm(kind, qbx::UriForm::Full), qbx::portSummary(kind));
    return lines;
}

} // namespace

bool Invocation::isSet(const Option& option) const
{
    return std::any_of(options.begin(), options.end(),
                       [&option](const auto& o) { return o.first == &option; });
}

QString Invocation::value(const Option& option) const
{
    QString last;
    for (const auto& [o, v] : options)
        if (o == &option)
            last = v;
    return last;
}

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = makeTable();
    return table;
}

const Command* findCommand(const QString& name)
{
    for (const Command& c : commands())
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

const std::vector<const Option*>& commonOptions()
{
    static const std::vector<const Option*> common{&json, &help};
    return common;
}

QString synopsis(const Command& command)
{
    QString text = QStringLiteral("qbx7config ") + QLatin1String(command.name);
    for (const Option* o : command.options)
        text +=
            QStringLiteral(" [%1]%2").arg(optionText(*o), o->repeatable ? QStringLiteral("...") : QString());
    if (*command.arguments)
        text += QLatin1Char(' ') + QLatin1String(command.arguments);
    return text;
}

QString commandHelp(const Command& command)
{
    std::vector<const Option*> all = command.options;
    all.insert(all.end(), commonOptions().begin(), commonOptions().end());
    return QStringLiteral("Usage: %1\n\n%2\nOptions:\n%3")
        .arg(synopsis(command), command.help, optionLines(all));
}

QString programHelp()
{
    QString list;
    for (const Command& c : commands())
        list += columnLine((QLatin1String(c.name) + QLatin1Char(' ') + QLatin1String(c.arguments)).trimmed(),
                           QLatin1String(c.summary));
    return QStringLiteral(
               "Usage: qbx7config [COMMAND [OPTIONS] [ARGUMENTS]]\n"
               "\n"
               "Sets up a QBX740 ticket printer. Without a command the window opens. With a command the\n"
               "program runs in the terminal and needs no display, so it works over SSH and from scripts.\n"
               "\n"
               "Commands:\n"
               "%1"
               "\n"
               "Options:\n"
               "  -h, --help          this text; 'qbx7config COMMAND --help' explains a command\n"
               "  --version           print the version\n"
               "  --json              after a command: one JSON document on standard output\n"
               "\n"
               "PORTS, for --port URI, --ports-from FILE and 'port set URI':\n"
               "%2"
               "Without --port the port saved by the window (or by 'port set') is used. Several ports\n"
               "get the transmission side by side, at most --jobs at a time, each with its own line.\n"
               "Control characters in names and messages are shown as \\xHH, a backslash as \\\\.\n"
               "\n"
               "Exit status: 0 done; 1 a port or a file failed; 2 a usage error, found before anything was\n"
               "sent; 130 or 143 interrupted by Ctrl+C or SIGTERM (running transmissions are cancelled).\n")
        .arg(list, portLines());
}

} // namespace qbx::cli
