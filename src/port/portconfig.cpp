#include "port/portconfig.h"

#include "port/portkinds.h"

#include <QDir>
#include <QHash>
#include <QSettings>

#include <algorithm>

namespace qbx {
namespace {

const QString kKindKey = QStringLiteral("port/kind");

using Place = PortField::Place;
// The texts a URI gives, by field name.
using FieldTexts = QHash<QString, QString>;

bool refuse(const QString& reason, QString* why)
{
    *why = reason;
    return false;
}

const PortField* fieldAt(const PortKind& kind, Place place)
{
    const auto found = std::find_if(kind.fields.begin(), kind.fields.end(),
                                    [place](const PortField& field) { return field.place == place; });
    return found == kind.fields.end() ? nullptr : &*found;
}

// "HOST" or "HOST:PORT", an IPv6 address in brackets so that its colons are not taken for the
// port's.
bool splitHostAndPort(const PortKind& kind, const PortField& port, const QString& address, FieldTexts& texts,
                      QString* why)
{
    QString host = address;
    QString portText;
    bool hasPort = false;
    if (address.startsWith(QLatin1Char('['))) {
        const qsizetype close = address.indexOf(QLatin1Char(']'));
        if (close < 0)
            return refuse(QStringLiteral("the IPv6 address has no closing ']'"), why);
        host = address.mid(1, close - 1);
        const QString after = address.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            return refuse(QStringLiteral("unexpected text after the IPv6 address"), why);
        hasPort = !after.isEmpty();
        portText = after.mid(1);
    } else if (const qsizetype colon = address.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        host = address.left(colon);
        portText = address.mid(colon + 1);
        hasPort = true;
        if (host.contains(QLatin1Char(':')))
            return refuse(QStringLiteral("an IPv6 address is written in brackets: %1:[ADDRESS]:%2")
                              .arg(QLatin1String(kind.name), QLatin1String(port.placeholder)),
                          why);
    }
    if (hasPort && portText.isEmpty())
        return refuse(QStringLiteral("the port number is missing after ':'"), why);
    texts.insert(QLatin1String(kind.fields.front().name), host);
    if (hasPort)
        texts.insert(QLatin1String(port.name), portText);
    return true;
}

bool splitAddress(const PortKind& kind, const QString& address, FieldTexts& texts, QString* why)
{
    if (const PortField* port = fieldAt(kind, Place::AfterHost))
        return splitHostAndPort(kind, *port, address, texts, why);
    texts.insert(QLatin1String(kind.fields.front().name), address);
    return true;
}

// "NAME=VALUE&NAME=VALUE", each name one of the kind's parameters, and once only.
bool splitParameters(const PortKind& kind, const QString& query, FieldTexts& texts, QString* why)
{
    QStringList known;
    for (const PortField& field : kind.fields)
        if (field.place == Place::Parameter)
            known << QLatin1String(field.name);
    for (const QString& parameter : query.split(QLatin1Char('&'))) {
        const qsizetype equals = parameter.indexOf(QLatin1Char('='));
        const QString name = parameter.left(equals);
        if (!known.contains(name))
            return refuse(QStringLiteral("unknown %1 setting '%2' (use %3)")
                              .arg(QLatin1String(kind.name), name, known.join(QStringLiteral(", "))),
                          why);
        // Taking the last of two values would hide a typing error in a script.
        if (texts.contains(name))
            return refuse(QStringLiteral("the %1 setting '%2' is given more than once")
                              .arg(QLatin1String(kind.name), name),
                          why);
        texts.insert(name, equals < 0 ? QString() : parameter.mid(equals + 1));
    }
    return true;
}

// The URI after "KIND:" into the fields it gives; the others keep their defaults.
bool readUri(const PortKind& kind, const QString& rest, PortConfig& config, QString* why)
{
    FieldTexts texts;
    const bool takesParameters = fieldAt(kind, Place::Parameter) != nullptr;
    const qsizetype question = takesParameters ? rest.indexOf(QLatin1Char('?')) : -1;
    if (!splitAddress(kind, rest.left(question), texts, why))
        return false;
    if (question >= 0 && !splitParameters(kind, rest.mid(question + 1), texts, why))
        return false;
    for (const PortField& field : kind.fields)
        if (texts.contains(QLatin1String(field.name)) &&
            !readField(field, texts.value(QLatin1String(field.name)), config, why))
            return false;
    return true;
}

// The main value and what follows it after ':', as the URI and the messages write them.
QString addressText(const PortKind& kind, const PortConfig& config)
{
    const PortField* port = fieldAt(kind, Place::AfterHost);
    QString address = fieldText(kind.fields.front(), config);
    if (port && address.contains(QLatin1Char(':')))
        address = QStringLiteral("[%1]").arg(address);
    return port ? address + QLatin1Char(':') + fieldText(*port, config) : address;
}

QString parametersText(const PortKind& kind, const PortConfig& config)
{
    QStringList parameters;
    for (const PortField& field : kind.fields)
        if (field.place == Place::Parameter)
            parameters << QLatin1String(field.name) + QLatin1Char('=') + fieldText(field, config);
    return parameters.isEmpty() ? QString() : QLatin1Char('?') + parameters.join(QLatin1Char('&'));
}

// "file:PATH, tcp:HOST[:PORT], queue:NAME or serial:DEVICE[?baud=N&...]"
QString uriForms()
{
    QStringList forms;
    for (const PortKind& kind : portKinds())
        forms << uriForm(kind, UriForm::Abbreviated);
    const QString last = forms.takeLast();
    return forms.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QString settingsKey(const PortKind& kind, const PortField& field)
{
    return QLatin1String(kind.name) + QLatin1Char('/') + QLatin1String(field.name);
}

// One kind's stored parameters, or nullopt when they are missing or name no usable port.
std::optional<PortConfig> readStored(QSettings& settings, const PortKind& kind)
{
    PortConfig config;
    config.kind = kind.kind;
    for (const PortField& field : kind.fields)
        if (!readField(field, settings.value(settingsKey(kind, field)).toString(), config, nullptr))
            return std::nullopt;
    if (!config.problem().isEmpty())
        return std::nullopt;
    return config;
}

// The parameters of the kind, leaving the kind in force and the other kinds' alone.
void copyParameters(const PortKind& kind, const PortConfig& from, PortConfig& to)
{
    for (const PortField& field : kind.fields)
        field.member.set(to, field.member.get(from));
}

} // namespace

QString lineSettingsText(const PortConfig& config)
{
    return QStringLiteral("%1 baud, %2 data bits, parity %3, %4, flow control %5")
        .arg(config.baudRate)
        .arg(config.dataBits)
        .arg(parityName(config.parity),
             config.stopBits == 1 ? QStringLiteral("1 stop bit")
                                  : QStringLiteral("%1 stop bits").arg(config.stopBits),
             flowName(config.flow));
}

PortConfig PortConfig::defaults()
{
    PortConfig config;
    config.filePath = QDir::home().filePath(QStringLiteral("QBX740.prn"));
    return config;
}

QString PortConfig::problem() const
{
    const PortKind* described = describedKind(kind);
    if (!described)
        return QStringLiteral("unknown kind of port");
    for (const PortField& field : described->fields)
        if (QString why = fieldProblem(field, *this); !why.isEmpty())
            return why;
    return {};
}

QString PortConfig::displayName() const
{
    const PortKind* described = describedKind(kind);
    if (!described)
        return {};
    const QString address = addressText(*described, *this);
    return described->shownAs ? QString::fromLatin1(described->shownAs).arg(address) : address;
}

QString PortConfig::toUri() const
{
    const PortKind* described = describedKind(kind);
    if (!described)
        return {};
    return QLatin1String(described->name) + QLatin1Char(':') + addressText(*described, *this) +
           parametersText(*described, *this);
}

std::optional<PortConfig> PortConfig::fromUri(const QString& uri, QString* error)
{
    auto reject = [error, &uri](const QString& why) -> std::optional<PortConfig> {
        if (error)
            *error = QStringLiteral("'%1' is not a port: %2").arg(uri.left(200), why);
        return std::nullopt;
    };
    const qsizetype colon = uri.indexOf(QLatin1Char(':'));
    const PortKind* kind = colon < 0 ? nullptr : kindNamed(uri.left(colon));
    if (!kind)
        return reject(QStringLiteral("use ") + uriForms());
    PortConfig config;
    config.kind = kind->kind;
    QString why;
    if (!readUri(*kind, uri.mid(colon + 1), config, &why))
        return reject(why);
    if (const QString problem = config.problem(); !problem.isEmpty())
        return reject(problem);
    return config;
}

PortConfig PortConfig::load(QSettings& settings)
{
    const PortKind* chosen = kindNamed(settings.value(kKindKey).toString());
    if (!chosen)
        return defaults();
    // Each kind's parameters come back on their own, so that switching back to a kind finds what
    // the user set up for it. Files of older versions hold the kind in force alone; the others
    // then keep their defaults, as does a kind whose stored values are damaged. Damage in the
    // kind in force gives the defaults altogether, never a port the user did not choose.
    PortConfig config = defaults();
    for (const PortKind& kind : portKinds()) {
        const std::optional<PortConfig> stored = readStored(settings, kind);
        if (stored)
            copyParameters(kind, *stored, config);
        else if (&kind == chosen)
            return defaults();
    }
    config.kind = chosen->kind;
    return config;
}

void PortConfig::save(QSettings& settings) const
{
    // Nothing of an earlier layout may linger beside the values written now.
    settings.clear();
    const PortKind* inForce = describedKind(kind);
    settings.setValue(kKindKey, inForce ? QString::fromLatin1(inForce->name) : QString());
    for (const PortKind& described : portKinds())
        for (const PortField& field : described.fields)
            settings.setValue(settingsKey(described, field), fieldText(field, *this));
}

void PortConfig::takeKindFrom(const PortConfig& chosen)
{
    kind = chosen.kind;
    if (const PortKind* described = describedKind(chosen.kind))
        copyParameters(*described, chosen, *this);
}

} // namespace qbx
