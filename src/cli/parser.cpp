#include "cli/parser.h"

#include "cli/commands.h"
#include "cli/console.h"
#include "port/nativepath.h"

namespace qbx::cli {
namespace {

const Command kVersion{"--version", "", 0, 0, {}, "", {}, runVersion};

Invocation helpFor(const QString& command)
{
    Invocation help{findCommand(QStringLiteral("help")), {}, {}};
    if (!command.isEmpty())
        help.arguments << command;
    return help;
}

const Option* optionNamed(const Command& command, const QString& name)
{
    for (const auto* list : {&command.options, &commonOptions()})
        for (const Option* o : *list)
            if (name == QLatin1String(o->name))
                return o;
    return nullptr;
}

bool asksForHelp(const QStringList& words)
{
    for (const QString& w : words) {
        if (w == QLatin1String("--"))
            return false;
        if (w == QLatin1String("-h") || w == QLatin1String("--help"))
            return true;
    }
    return false;
}

QString arityText(const Command& c, const QStringList& arguments)
{
    if (c.maxArguments == 0)
        return QStringLiteral("'%1' takes no arguments, but got '%2'")
            .arg(c.name, printable(arguments.first()));
    return QStringLiteral("'%1' takes %2, but got %3 arguments")
        .arg(c.name, c.arguments)
        .arg(arguments.size());
}

std::variant<Invocation, UsageError> parseCommand(const Command& command, const QStringList& words)
{
    const QString name = QLatin1String(command.name);
    auto error = [&name](const QString& message) { return UsageError{name, message}; };
    Invocation invocation{&command, {}, {}};
    bool optionsEnded = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (optionsEnded || !word.startsWith(QLatin1Char('-')) || word == QLatin1String("-")) {
            invocation.arguments << word;
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const QString optionName =
            word.startsWith(QLatin1String("--")) ? word.mid(2).section(QLatin1Char('='), 0, 0) : QString();
        const Option* option = optionName.isEmpty() ? nullptr : optionNamed(command, optionName);
        if (!option)
            return error(
                QStringLiteral("unknown option '%1'").arg(printable(word.section(QLatin1Char('='), 0, 0))));
        const bool inlineValue = word.contains(QLatin1Char('='));
        QString value;
        if (!option->value && inlineValue)
            return error(QStringLiteral("--%1 takes no value").arg(option->name));
        if (option->value) {
            if (!inlineValue && i + 1 >= words.size())
                return error(QStringLiteral("--%1 needs a value: %2").arg(option->name, option->value));
            value = inlineValue ? word.section(QLatin1Char('='), 1) : words.at(++i);
        }
        if (!option->repeatable && invocation.isSet(*option))
            return error(QStringLiteral("--%1 is given more than once").arg(option->name));
        invocation.options.emplace_back(option, value);
    }
    const auto count = invocation.arguments.size();
    if (count < command.minArguments || (command.maxArguments >= 0 && count > command.maxArguments))
        return error(arityText(command, invocation.arguments));
    return invocation;
}

} // namespace

std::variant<Invocation, UsageError> parseArguments(const QByteArrayList& arguments)
{
    // A file name that is no valid UTF-8 keeps its bytes, so that it names the same file.
    QStringList words;
    for (const QByteArray& argument : arguments)
        words << qbx::decodePath(argument);
    if (words.isEmpty() || words.first() == QLatin1String("-h") || words.first() == QLatin1String("--help"))
        return helpFor(QString());
    if (words.first() == QLatin1String("--version")) {
        if (words.size() > 1)
            return UsageError{QString(), QStringLiteral("--version takes no arguments")};
        return Invocation{&kVersion, {}, {}};
    }
    const Command* command = findCommand(words.first());
    if (!command)
        return UsageError{QString(), QStringLiteral("unknown command '%1'").arg(printable(words.first()))};
    const QStringList rest = words.mid(1);
    if (asksForHelp(rest))
        return helpFor(words.first());
    return parseCommand(*command, rest);
}

std::variant<int, UsageError> wholeNumberOption(const Invocation& invocation, const Option& option,
                                                int lowest, int highest, int fallback)
{
    if (!invocation.isSet(option))
        return fallback;
    bool ok = false;
    const int number = invocation.value(option).toInt(&ok);
    if (ok && number >= lowest && number <= highest)
        return number;
    return UsageError{QLatin1String(invocation.command->name),
                      QStringLiteral("--%1 takes a whole number from %2 to %3")
                          .arg(QLatin1String(option.name))
                          .arg(lowest)
                          .arg(highest)};
}

} // namespace qbx::cli
