#include "cli/commandline.h"

#include "cli/commandtable.h"
#include "cli/console.h"
#include "cli/parser.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <iostream>
#include <optional>

namespace qbx::cli {
namespace {

// The options that QGuiApplication and QApplication take for themselves.
const QByteArrayList kWindowOptionsWithValue{
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "display",         "geometry",           "style",         "stylesheet",
};
const QByteArrayList kWindowFlags{"reverse", "widgetcount", "nograb", "dograb", "sync", "qmljsdebugger"};

// A window option's name and, in its NAME=VALUE form, its value (null without '='): "-style",
// "--style=fusion".
std::pair<QByteArray, QByteArray> splitOption(QByteArray arg)
{
    arg.remove(0, arg.startsWith("--") ? 2 : 1);
    const qsizetype equals = arg.indexOf('=');
    if (equals < 0)
        return {arg, QByteArray()};
    return {arg.left(equals), arg.mid(equals + 1)};
}

// How many arguments from `at` form one window option (0 if the argument is none).
int windowOptionLength(int argc, char** argv, int at)
{
    if (argv[at][0] != '-')
        return 0;
    const auto [name, value] = splitOption(argv[at]);
    if (kWindowFlags.contains(name))
        return 1;
    if (kWindowOptionsWithValue.contains(name))
        return !value.isNull() || at + 1 >= argc ? 1 : 2;
    return 0;
}

// The value of a window option such as -platform, or null when it is not given.
QByteArray windowOptionValue(int argc, char** argv, const QByteArray& wanted)
{
    for (int i = 1; i < argc;) {
        const int n = windowOptionLength(argc, argv, i);
        if (n == 0)
            break;
        if (const auto [name, value] = splitOption(argv[i]); name == wanted)
            return !value.isNull() ? value : n == 2 ? QByteArray(argv[i + 1]) : QByteArray("");
        i += n;
    }
    return {};
}

QByteArrayList argumentsAfterName(int argc, char** argv)
{
    QByteArrayList list;
    for (int i = 1; i < argc; ++i)
        list << QByteArray(argv[i]);
    return list;
}

} // namespace

bool wantsCommandLine(int argc, char** argv)
{
    for (int i = 1; i < argc;) {
        const int n = windowOptionLength(argc, argv, i);
        if (n == 0)
            return true;
        i += n;
    }
    return false;
}

QByteArrayList windowArguments(int argc, char** argv)
{
    QByteArrayList qt{QByteArray(argv[0])};
    for (int i = 1; i < argc;) {
        const int n = std::max(windowOptionLength(argc, argv, i), 1);
        const auto [name, value] = splitOption(argv[i]);
        if (n == 1 && !value.isNull() && kWindowOptionsWithValue.contains(name))
            qt << "-" + name << value;
        else
            for (int k = i; k < i + n; ++k)
                qt << QByteArray(argv[k]);
        i += n;
    }
    return qt;
}

bool windowHasNoDisplay(int argc, char** argv)
{
    QByteArray platform = windowOptionValue(argc, argv, "platform");
    if (platform.isNull())
        platform = qgetenv("QT_QPA_PLATFORM");
    // Only the desktop platforms need a display server; offscreen, vnc, eglfs and the like do not.
    const bool desktop = platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
    return desktop && windowOptionValue(argc, argv, "display").isNull() &&
           qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

namespace {

int runParsed(const QByteArrayList& arguments, const std::variant<Invocation, UsageError>& parsed,
              std::ostream& out, std::ostream& err)
{
    Console console(out, err);
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        // A script that asked for JSON reads its answer as JSON, a mistyped command line too.
        const auto end = std::find(arguments.begin(), arguments.end(), QByteArrayLiteral("--"));
        console.setJson(std::find(arguments.begin(), end, QByteArrayLiteral("--json")) != end);
        return console.usage(error->command, error->message);
    }
    const Invocation& invocation = std::get<Invocation>(parsed);
    console.setJson(invocation.isSet(options::json));
    const int status = invocation.command->run(invocation, console);
    out.flush();
    return status;
}

} // namespace

int runCommandLine(const QByteArrayList& arguments, std::ostream& out, std::ostream& err)
{
    return runParsed(arguments, parseArguments(arguments), out, err);
}

namespace {

// The program's application object, made only where it is needed (see run()), and what it is
// made from.
struct LateApplication
{
    std::optional<QCoreApplication> app;
    int& argc;
    char** argv;
};
LateApplication* g_late = nullptr;

} // namespace

void ensureApplication()
{
    if (g_late && !QCoreApplication::instance())
        g_late->app.emplace(g_late->argc, g_late->argv);
}

int run(int argc, char** argv)
{
    // Taken before Qt reads them, as the bytes the shell passed.
    const QByteArrayList arguments = argumentsAfterName(argc, argv);
    // Only a command that waits in the event loop, or a port that Qt watches, needs the
    // application object: the others start quicker without it (its locale set-up alone reads a
    // dozen files).
    const auto parsed = parseArguments(arguments);
    LateApplication late{{}, argc, argv};
    g_late = &late;
    if (const auto* invocation = std::get_if<Invocation>(&parsed);
        invocation && invocation->command->eventLoop)
        ensureApplication();
    const int status = runParsed(arguments, parsed, std::cout, std::cerr);
    g_late = nullptr;
    return status;
}

} // namespace qbx::cli
