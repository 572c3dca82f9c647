// settings, port, help and --version: what the program knows, and the saved port.
#include "cli/commands.h"
#include "cli/commandtable.h"
#include "cli/console.h"
#include "cli/home.h"
#include "port/nativepath.h"
#include "port/portsession.h"
#include "qbx7config_version.h"
#include "settings/catalogue.h"
#include "settings/entrynormalise.h"
#include "settings/textforms.h"

#include <QJsonArray>

namespace qbx::cli {
namespace {

const QString kPort = QStringLiteral("port");

QString qt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What a setting takes besides its entries: the numbers of the cut offset and the delay.
QString numberRule(const Setting& s)
{
    if (s.rule == Rule::CutOffset)
        return QStringLiteral("MM: %1, rounded to 0.25 mm; ticks \"Adjust Cut Position\"")
            .arg(qt(cutOffsetRangeText()));
    if (s.rule == Rule::PresenterDelay)
        return QStringLiteral("SECONDS: %1, rounded down to 0.5 s; chooses \"%2\"")
            .arg(qt(presenterDelayRangeText()), qt(kCustomDelay));
    return {};
}

QJsonArray catalogueJson()
{
    QJsonArray settings;
    for (const Setting& s : catalogue()) {
        QJsonArray entries;
        for (std::size_t e = 0; e < s.entries.size(); ++e)
            entries.append(QJsonObject{{"number", int(e)}, {"text", qt(s.entries[e].text)}});
        QJsonObject setting{{"key", qt(s.key)}, {"label", qt(s.label)}, {"entries", entries}};
        if (s.rule == Rule::CutOffset)
            setting.insert("number", QJsonObject{{"unit", "mm"},
                                                 {"minimum", kMinCutQuarters * 0.25},
                                                 {"maximum", kMaxCutQuarters * 0.25},
                                                 {"step", 0.25}});
        if (s.rule == Rule::PresenterDelay)
            setting.insert("number", QJsonObject{{"unit", "s"},
                                                 {"minimum", 0},
                                                 {"maximum", kMaxDelayHalfSeconds * 0.5},
                                                 {"step", 0.5},
                                                 {"entry", int(customDelayEntry())}});
        settings.append(setting);
    }
    return settings;
}

qbx::PortConfig savedPort()
{
    qbx::PortSession session;
    session.LoadPortSettings(std::string(qbx::kPortSettingsKey));
    return session.config();
}

void printPort(const qbx::PortConfig& port, Console& console)
{
    if (console.json())
        console.document(QJsonObject{{"port", port.toUri()}});
    else
        console.line(printable(port.toUri()));
}

// Reads the choice back, so that a configuration folder that cannot be written is not taken
// for a saved choice.
int setPort(const QString& uri, Console& console)
{
    QString why;
    const auto chosen = qbx::PortConfig::fromUri(uri, &why);
    if (!chosen)
        return console.usage(kPort, printable(why));
    if (chosen->kind == qbx::PortConfig::Kind::File && qbx::holdsRawBytes(chosen->filePath))
        return console.usage(kPort,
                             QStringLiteral("%1 is no UTF-8 text, and the saved port choice holds text only; "
                                            "give this file with --port each time")
                                 .arg(printable(chosen->filePath)));
    // The window keeps what was typed for the other kinds of port: so does this.
    auto config = std::optional(savedPort());
    config->takeKindFrom(*chosen);
    qbx::PortSession session;
    session.setConfig(*config);
    session.SavePortSettings(std::string(qbx::kPortSettingsKey));
    if (savedPort() != *config)
        return console.fail(
            kPort, QStringLiteral("the port choice could not be saved in %1")
                       .arg(printable(qbx::PortSession::settingsFile(std::string(qbx::kPortSettingsKey)))));
    printPort(*config, console);
    return Done;
}

// The command table, or the one command's entry.
QJsonArray tableJson(const Command* only)
{
    QJsonArray list;
    for (const Command& c : commands()) {
        if (only && only != &c)
            continue;
        QJsonArray options;
        for (const auto* group : {&c.options, &commonOptions()})
            for (const Option* o : *group)
                options.append(
                    QJsonObject{{"name", QStringLiteral("--") + QLatin1String(o->name)},
                                {"value", o->value ? QJsonValue(QLatin1String(o->value)) : QJsonValue()},
                                {"help", o->help}});
        list.append(QJsonObject{{"name", QLatin1String(c.name)},
                                {"synopsis", synopsis(c)},
                                {"summary", QLatin1String(c.summary)},
                                {"options", options}});
    }
    return list;
}

} // namespace

int runSettings(const Invocation&, Console& console)
{
    if (console.json()) {
        console.document(QJsonObject{{"settings", catalogueJson()}});
        return Done;
    }
    for (const Setting& s : catalogue()) {
        console.line(qt(s.key) + QStringLiteral("  ") + qt(s.label));
        for (std::size_t e = 0; e < s.entries.size(); ++e)
            console.line(QStringLiteral("  #%1 %2").arg(e).arg(qt(s.entries[e].text)));
        if (const QString rule = numberRule(s); !rule.isEmpty())
            console.line(QStringLiteral("  ") + rule);
    }
    return Done;
}

int runPort(const Invocation& invocation, Console& console)
{
    if (const QString problem = homeProblem(); !problem.isEmpty())
        return console.fail(kPort, problem);
    const QStringList& words = invocation.arguments;
    if (words.isEmpty()) {
        printPort(savedPort(), console);
        return Done;
    }
    if (words.size() == 2 && words.first() == QLatin1String("set"))
        return setPort(words.at(1), console);
    return console.usage(kPort,
                         QStringLiteral("use 'port' to show the saved port or 'port set URI' to save one"));
}

int runHelp(const Invocation& invocation, Console& console)
{
    const Command* command =
        invocation.arguments.isEmpty() ? nullptr : findCommand(invocation.arguments.first());
    if (!invocation.arguments.isEmpty() && !command) {
        QStringList names;
        for (const Command& c : commands())
            names << QLatin1String(c.name);
        return console.usage(QString(),
                             QStringLiteral("'help' takes one of: %1").arg(names.join(QStringLiteral(", "))));
    }
    if (console.json())
        console.document(QJsonObject{{"commands", tableJson(command)}});
    else
        console.out() << (command ? commandHelp(*command) : programHelp()).toStdString();
    return Done;
}

int runVersion(const Invocation&, Console& console)
{
    console.line(QStringLiteral("QBX7Config ") +
                 qt(versionLine(version::Major, version::Minor, version::Revision)));
    return Done;
}

} // namespace qbx::cli
