#include "helptexts.h"

namespace qbx::cli {
namespace {

const char kProgramHelp[] = R"TEXT(Usage: qbx7config [COMMAND [OPTIONS] [ARGUMENTS]]

Sets up a QBX740 ticket printer. Without a command the window opens. With a command the
program runs in the terminal and needs no display, so it works over SSH and from scripts.

Commands:
  settings            list every setting with its key and its numbered entries
  store KEY=VALUE...  send new settings and make the printer keep them
  selftest            print the printer's self-test page
  send FILE           pass a file (a demo or settings file) to the printer unchanged
  decode FILE         show what the printer frames in a file do
  port                show the saved port; 'port set URI' saves another
  help [COMMAND]      this text, or the help of one command

Options:
  -h, --help          this text; 'qbx7config COMMAND --help' explains a command
  --version           print the version

Ports, for --port URI and 'port set URI':
  file:PATH           write to a file, or to a device such as /dev/usb/lp0
  tcp:HOST[:PORT]     a network printer; PORT is 9100 unless given
  queue:NAME          a printer queue of this computer
  serial:DEVICE[?baud=N&parity=none|even|odd&flow=none|hardware|software]
Without --port the port saved by the window (or by 'port set') is used. --port may be
given several times: each port gets the transmission in turn and one line saying
"OK URI" (the printer confirmed every byte), "FAILED URI: why" or "CANCELLED URI".

Exit status: 0 done; 1 a port failed; 2 a usage error, found before anything was sent;
130 or 143 interrupted by Ctrl+C or SIGTERM (the running transmission is cancelled).
)TEXT";

const char kSettingsHelp[] = R"TEXT(Usage: qbx7config settings

Lists every setting: its key for 'store', its label in the window, and its entries
numbered as in the window's lists. "#0 No Change" leaves a setting as it is.
)TEXT";

const char kStoreHelp[] = R"TEXT(Usage: qbx7config store [--port URI]... [--dry-run] KEY=VALUE...

Sends the settings given, as "Store Settings" does in the window, and makes the printer
keep them. Every setting not named stays at "No Change".

  KEY                       a key from 'qbx7config settings', such as code-page
  VALUE                     #N picks entry N. Any other value is matched against the
                            entries, ignoring case and surrounding blanks: an exact match
                            first, else the one entry that begins with it ("1252" picks
                            "1252 (Windows Latin-1)"). Quote values with blanks.
  cut-offset=MM             ticks "Adjust Cut Position": -10 to 31.75 mm, rounded to the
                            nearest 0.25 mm ("12.6" gives 12.5 mm; "mm" may follow)
  presenter-delay=SECONDS   chooses "Custom" with that delay: 0 to 127.5 s, rounded down
                            to half seconds ("2.7" gives 2.5 s; "s" may follow). A value
                            that is not a number is matched against the entries.

Options:
  --port URI   the port to send to (see 'qbx7config --help'); may be repeated
  --dry-run    send nothing; print each frame in hexadecimal with what it does

Examples:
  qbx7config store code-page=1252 print-density=normal cut-offset=-2.5
  qbx7config store 'presenter-behaviour=no loop - hold - eject' presenter-delay=2.5 \
      --port tcp:kiosk-01 --port tcp:kiosk-02
)TEXT";

const char kSelfTestHelp[] = R"TEXT(Usage: qbx7config selftest [--port URI]...

Makes the printer print its self-test page, as "Print Self Test Page" does in the window.

Options:
  --port URI   the port to send to (see 'qbx7config --help'); may be repeated
)TEXT";

const char kSendHelp[] = R"TEXT(Usage: qbx7config send [--port URI]... FILE

Passes FILE to the printer byte for byte, as "Print External Data File" does in the
window: a printer demo file (.dmo), a printer settings file (.dst) or any other data.
Files of any size are sent without being read into memory.

Options:
  --port URI   the port to send to (see 'qbx7config --help'); may be repeated
)TEXT";

const char kDecodeHelp[] = R"TEXT(Usage: qbx7config decode FILE

Shows, frame by frame, what the printer commands in FILE do: the switch and bits each
frame clears or sets, and the setting and entry that a group of frames chooses, such as
"Code Page = 1252 (Windows Latin-1)". Bytes that are not frames are counted. Use it on
a settings file that "Store Settings" wrote to a file port, or on any other file;
nothing is sent.
)TEXT";

const char kPortHelp[] = R"TEXT(Usage: qbx7config port
       qbx7config port set URI

Shows the saved port choice, or saves another. The window uses the same choice, and
every command without --port sends to it. URI is one of the forms in 'qbx7config --help',
such as tcp:192.168.1.50 or file:/home/me/QBX740.prn.
)TEXT";

const char kHelpHelp[] = R"TEXT(Usage: qbx7config help [COMMAND]

Shows the help of the program, or of one command.
)TEXT";

} // namespace

QString helpText(const QString& command)
{
    struct Topic
    {
        const char* command;
        const char* text;
    };
    static const Topic topics[] = {
        {"settings", kSettingsHelp}, {"store", kStoreHelp}, {"selftest", kSelfTestHelp}, {"send", kSendHelp},
        {"decode", kDecodeHelp},     {"port", kPortHelp},   {"help", kHelpHelp},
    };
    for (const Topic& t : topics) {
        if (command == QLatin1String(t.command))
            return QString::fromUtf8(t.text);
    }
    return QString::fromUtf8(kProgramHelp);
}

} // namespace qbx::cli
