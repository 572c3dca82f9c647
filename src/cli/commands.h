#pragma once

#include "cli/parser.h"
#include "port/portconfig.h"

#include <QtGlobal>

#include <variant>
#include <vector>

namespace qbx::cli {

// `decode` stops after this many bytes: far more than any settings or demo file, and a limit
// to the time that an endless source such as /dev/zero takes.
inline constexpr qint64 kDecodeLimit = qint64{1} << 30;

class Console;
struct Invocation;

// Makes the application object that the command line starts without (see run()), for what needs
// it once the command is under way: a port that Qt watches. Nothing where one exists.
void ensureApplication();

// The commands of the table, each reading its own options and arguments.
int runSettings(const Invocation& invocation, Console& console);
int runStore(const Invocation& invocation, Console& console);
int runSelfTest(const Invocation& invocation, Console& console);
int runSend(const Invocation& invocation, Console& console);
int runDecode(const Invocation& invocation, Console& console);
int runPort(const Invocation& invocation, Console& console);
int runHelp(const Invocation& invocation, Console& console);
int runCompletion(const Invocation& invocation, Console& console);
int runSimulate(const Invocation& invocation, Console& console);
int runVersion(const Invocation& invocation, Console& console);
int runDoctor(const Invocation& invocation, Console& console);

// The ports of --port and --ports-from in the order given, or the saved port when there are
// none. Every URI is checked before any port is opened.
std::variant<std::vector<qbx::PortConfig>, UsageError> portsOf(const Invocation& invocation);

} // namespace qbx::cli
