#include "commandline.h"

#include "argumentparser.h"
#include "runner.h"

#include <QCoreApplication>

#include <iostream>

namespace qbx::cli {
namespace {

// The options that QGuiApplication and QApplication take for themselves.
const QStringList kWindowOptionsWithValue{
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
    QStringLiteral("display"),         QStringLiteral("geometry"),
    QStringLiteral("style"),           QStringLiteral("stylesheet"),
};
const QStringList kWindowFlags{
    QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
    QStringLiteral("dograb"),  QStringLiteral("sync"),        QStringLiteral("qmljsdebugger"),
};

// How many arguments from `at` form one window option (0 if the argument is none).
int windowOptionLength(const QStringList& arguments, qsizetype at)
{
    QString arg = arguments.at(at);
    if (!arg.startsWith(QLatin1Char('-')))
        return 0;
    arg.remove(0, arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const QString name = arg.section(QLatin1Char('='), 0, 0);
    const bool hasInlineValue = arg.contains(QLatin1Char('='));
    if (kWindowFlags.contains(name))
        return 1;
    if (kWindowOptionsWithValue.contains(name))
        return hasInlineValue || at + 1 >= arguments.size() ? 1 : 2;
    return 0;
}

QStringList argumentList(int argc, char** argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

} // namespace

QStringList commandLineArguments(const QStringList& arguments)
{
    QStringList rest;
    for (qsizetype i = 1; i < arguments.size();) {
        const int n = windowOptionLength(arguments, i);
        if (n == 0)
            rest << arguments.at(i++);
        else
            i += n;
    }
    return rest;
}

bool wantsCommandLine(int argc, char** argv)
{
    return !commandLineArguments(argumentList(argc, argv)).isEmpty();
}

int runCommandLine(const QStringList& arguments, std::ostream& out, std::ostream& err)
{
    const auto parsed = parseArguments(arguments);
    if (const auto* error = std::get_if<UsageError>(&parsed))
        return reportUsage(*error, err);
    return perform(std::get<Request>(parsed), out, err);
}

int run(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runCommandLine(commandLineArguments(QCoreApplication::arguments()), std::cout, std::cerr);
}

} // namespace qbx::cli
