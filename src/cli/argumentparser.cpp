#include "argumentparser.h"

#include "choices.h"

#include <QCommandLineParser>

namespace qbx::cli {
namespace {

const QString kSettings = QStringLiteral("settings");
const QString kStore = QStringLiteral("store");
const QString kSelfTest = QStringLiteral("selftest");
const QString kSend = QStringLiteral("send");
const QString kDecode = QStringLiteral("decode");
const QString kPort = QStringLiteral("port");
const QString kHelp = QStringLiteral("help");

// The options a sub-command takes besides --help.
struct Options
{
    bool port = false;
    bool dryRun = false;
};

const QCommandLineOption kPortOption(QStringLiteral("port"), QString(), QStringLiteral("URI"));
const QCommandLineOption kDryRunOption(QStringLiteral("dry-run"));
const QCommandLineOption kHelpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});

UsageError usage(const QString& command, const QString& message)
{
    return UsageError{command, message};
}

// The sub-command's own options and its positional arguments, or what is wrong with them.
std::variant<QStringList, UsageError> parseCommand(QCommandLineParser& parser, const QString& command,
                                                   const QStringList& arguments, Options options)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(kHelpOption);
    if (options.port)
        parser.addOption(kPortOption);
    if (options.dryRun)
        parser.addOption(kDryRunOption);
    if (!parser.parse(QStringList{command} + arguments))
        return usage(command, parser.errorText());
    return parser.positionalArguments();
}

std::variant<std::vector<TeskKit::PortConfig>, UsageError> portsOf(const QCommandLineParser& parser,
                                                                   const QString& command)
{
    std::vector<TeskKit::PortConfig> ports;
    for (const QString& uri : parser.values(kPortOption)) {
        QString why;
        const auto config = TeskKit::PortConfig::fromUri(uri, &why);
        if (!config)
            return usage(command, QStringLiteral("--port %1: %2").arg(uri, why));
        ports.push_back(*config);
    }
    return ports;
}

Request helpFor(const QString& topic)
{
    Request request;
    request.command = Command::Help;
    request.helpTopic = topic;
    return request;
}

std::variant<Request, UsageError> parseHelp(const QStringList& rest)
{
    if (rest.isEmpty())
        return helpFor(QString());
    if (rest.size() == 1 && commandNames().contains(rest.first()))
        return helpFor(rest.first());
    return usage(QString(),
                 QStringLiteral("'help' takes one of: %1").arg(commandNames().join(QStringLiteral(", "))));
}

std::variant<Request, UsageError> parseCommand(const QString& command, const QStringList& rest)
{
    const bool sends = command == kStore || command == kSelfTest || command == kSend;
    QCommandLineParser parser;
    auto parsed = parseCommand(parser, command, rest, {sends, command == kStore});
    if (auto* error = std::get_if<UsageError>(&parsed))
        return *error;
    const QStringList positional = std::get<QStringList>(parsed);
    if (parser.isSet(kHelpOption))
        return helpFor(command);

    Request request;
    if (sends) {
        auto ports = portsOf(parser, command);
        if (auto* error = std::get_if<UsageError>(&ports))
            return *error;
        request.ports = std::get<std::vector<TeskKit::PortConfig>>(std::move(ports));
    }

    if (command == kSettings || command == kSelfTest) {
        if (!positional.isEmpty())
            return usage(
                command,
                QStringLiteral("'%1' takes no arguments, but got '%2'").arg(command, positional.first()));
        request.command = command == kSettings ? Command::Settings : Command::SelfTest;
        return request;
    }
    if (command == kSend || command == kDecode) {
        if (positional.size() != 1)
            return usage(command, QStringLiteral("'%1' takes exactly one FILE").arg(command));
        request.command = command == kSend ? Command::Send : Command::Decode;
        request.file = positional.first();
        return request;
    }
    if (command == kStore) {
        std::vector<std::string> choices;
        for (const QString& word : positional)
            choices.push_back(word.toStdString());
        auto snapshot = snapshotFromChoices(choices);
        if (auto* error = std::get_if<ChoiceError>(&snapshot))
            return usage(command, QString::fromStdString(error->message));
        request.command = Command::Store;
        request.snapshot = std::get<ControlSnapshot>(std::move(snapshot));
        request.dryRun = parser.isSet(kDryRunOption);
        return request;
    }
    // port, or port set URI
    if (positional.isEmpty()) {
        request.command = Command::ShowPort;
        return request;
    }
    if (positional.size() == 2 && positional.first() == QLatin1String("set")) {
        QString why;
        const auto config = TeskKit::PortConfig::fromUri(positional.at(1), &why);
        if (!config)
            return usage(command, why);
        request.command = Command::SetPort;
        request.newPort = *config;
        return request;
    }
    return usage(command, QStringLiteral("use 'port' to show the saved port or 'port set URI' to save one"));
}

} // namespace

const QStringList& commandNames()
{
    static const QStringList names{kSettings, kStore, kSelfTest, kSend, kDecode, kPort, kHelp};
    return names;
}

std::variant<Request, UsageError> parseArguments(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return helpFor(QString());
    const QString& first = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (first == QLatin1String("--help") || first == QLatin1String("-h"))
        return helpFor(QString());
    if (first == QLatin1String("--version")) {
        if (!rest.isEmpty())
            return usage(QString(), QStringLiteral("--version takes no arguments"));
        Request request;
        request.command = Command::Version;
        return request;
    }
    if (first == kHelp)
        return parseHelp(rest);
    if (!commandNames().contains(first))
        return usage(QString(), QStringLiteral("unknown command '%1'").arg(first));
    return parseCommand(first, rest);
}

} // namespace qbx::cli
