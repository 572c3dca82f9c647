#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace qbx::cli {

class Console;
struct Invocation;

struct Option
{
    const char* name;  // without the dashes: "port"
    const char* value; // what it takes, "URI"; nullptr for a switch
    QString help;
    bool repeatable = false;
};

// One command of the command line. Parsing, --help, 'help COMMAND', the usage errors, the manual
// page check and the shell completion all come from this one description.
struct Command
{
    const char* name;
    const char* arguments; // their synopsis: "KEY=VALUE...", "FILE", "[set URI]"
    int minArguments;
    int maxArguments;                   // -1: any number
    std::vector<const Option*> options; // besides the options every command takes
    const char* summary;                // its line in the program's help
    QString help;                       // what it does, between its synopsis and its options
    int (*run)(const Invocation&, Console&);
    bool eventLoop = false; // waits in Qt's event loop, which needs the application object
};

namespace options {
extern const Option port;
extern const Option portsFrom;
extern const Option jobs;
extern const Option dryRun;
extern const Option ifChanged;
extern const Option from;
extern const Option profile;
extern const Option json;
extern const Option help;
extern const Option listen;
extern const Option pty;
extern const Option state;
extern const Option idle;
} // namespace options

// What one run of the command line is asked to do: a command, its options in the order given
// and its arguments. Their number and form are checked; their meaning is checked by the command
// before it opens any port.
struct Invocation
{
    const Command* command = nullptr;
    std::vector<std::pair<const Option*, QString>> options;
    QStringList arguments;

    bool isSet(const Option& option) const;
    QString value(const Option& option) const; // the last one given
};

const std::vector<Command>& commands();
const Command* findCommand(const QString& name);

// The options that every command takes.
const std::vector<const Option*>& commonOptions();

// "qbx7config store [--port URI]... [--dry-run] [KEY=VALUE...]"
QString synopsis(const Command& command);

// The help of the program, or of one command.
QString programHelp();
QString commandHelp(const Command& command);

} // namespace qbx::cli
