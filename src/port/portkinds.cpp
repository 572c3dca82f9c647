#include "port/portkinds.h"

#include "port/filetransport.h"
#include "port/nativepath.h"
#include "port/queuetransport.h"
#include "port/serialmodule.h"
#include "port/tcptransport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

#include <arpa/inet.h>
#include <sys/stat.h>

namespace qbx {
namespace {

using Type = PortField::Type;
using Place = PortField::Place;

// A path longer than any file system allows is damage, not a choice.
constexpr qint64 kLongestPath = 4096;

// Indexed by the values of PortConfig::Parity and PortConfig::Flow.
const QStringList kParityNames{QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd")};
const QStringList kFlowNames{QStringLiteral("none"), QStringLiteral("hardware"), QStringLiteral("software")};

template<auto member>
PortField::Member memberOf()
{
    using Value = std::remove_cvref_t<decltype(std::declval<PortConfig&>().*member)>;
    if constexpr (std::is_same_v<Value, QString>)
        return {[](const PortConfig& config) { return QVariant(config.*member); },
                [](PortConfig& config, const QVariant& value) { config.*member = value.toString(); }};
    else
        return {[](const PortConfig& config) { return QVariant(static_cast<qint64>(config.*member)); },
                [](PortConfig& config, const QVariant& value) {
                    config.*member = static_cast<Value>(value.toLongLong());
                }};
}

std::vector<PortKind> describeKinds()
{
    using Kind = PortConfig::Kind;
    return {
        {.kind = Kind::File,
         .name = "file",
         .summary = "write to a file, or to a device such as /dev/usb/lp0",
         .label = QT_TRANSLATE_NOOP("TeskKit::TeskComm", "File or device"),
         .transport = [](const PortConfig& c, const PortTimeouts& t) -> std::unique_ptr<Transport> {
             return std::make_unique<FileTransport>(c.filePath, t);
         },
         .fields = {{.name = "path",
                     .placeholder = "PATH",
                     .type = Type::Path,
                     .place = Place::Address,
                     .member = memberOf<&PortConfig::filePath>(),
                     .highest = kLongestPath,
                     .missing = "no output file is chosen"}}},
        {.kind = Kind::Tcp,
         .name = "tcp",
         .summary = "a network printer; PORT is {port} unless given",
         .label = QT_TRANSLATE_NOOP("TeskKit::TeskComm", "Network printer (TCP/IP)"),
         .transport = [](const PortConfig& c, const PortTimeouts& t) -> std::unique_ptr<Transport> {
             return std::make_unique<TcpTransport>(c.host, c.tcpPort, t);
         },
         .fields = {{.name = "host",
                     .placeholder = "HOST",
                     .type = Type::Host,
                     .place = Place::Address,
                     .member = memberOf<&PortConfig::host>(),
                     .highest = 253, // the longest name DNS carries
                     .missing = "no printer host is given",
                     .refusal = "'{value}' is not a valid host name or address",
                     .widgetName = "portHost",
                     .label = QT_TRANSLATE_NOOP("TeskKit::TeskComm", "&Host"),
                     .accessibleName = QT_TRANSLATE_NOOP("TeskKit::TeskComm", "Printer host name or address"),
                     .hint = QT_TRANSLATE_NOOP("TeskKit::TeskComm", "host name or address")},
                    {.name = "port",
                     .placeholder = "PORT",
                     .type = Type::Number,
                     .place = Place::AfterHost,
                     .member = memberOf<&PortConfig::tcpPort>(),
                     .lowest = 1,
                     .highest = 65535,
                     .refusal = "the port must be a number from {lowest} to {highest}",
                     .widgetName = "portTcpPort",
                     .label = QT_TRANSLATE_NOOP("TeskKit::TeskComm", "TCP p&ort"),
                     .accessibleName = QT_TRANSLATE_NOOP("TeskKit::TeskComm", "Printer TCP port")}}},
        {.kind = Kind::Queue,
         .name = "queue",
         .summary = "a printer queue of this computer",
         .shownAs = "print queue '%1'",
         .label = QT_TRANSLATE_NOOP("TeskKit::TeskComm", "Printer queue"),
         .transport = [](const PortConfig& c, const PortTimeouts& t) -> std::unique_ptr<Transport> {
             return std::make_unique<QueueTransport>(c.queueName, t);
         },
         .fields = {{.name = "name",
                     .placeholder = "NAME",
                     .type = Type::QueueName,
                     .place = Place::Address,
                     .member = memberOf<&PortConfig::queueName>(),
                     .highest = 127, // CUPS refuses longer names
                     .missing = "no print queue is chosen",
                     .refusal = "'{value}' is not a valid print queue name"}}},
        {.kind = Kind::Serial,
         .name = "serial",
         .summary = "a serial line, such as /dev/ttyUSB0",
         .label = QT_TRANSLATE_NOOP("TeskKit::TeskComm", "Serial line"),
         .transport = makeSerialTransport,
         .fields = {{.name = "device",
                     .placeholder = "DEVICE",
                     .type = Type::Path,
                     .place = Place::Address,
                     .member = memberOf<&PortConfig::serialDevice>(),
                     .highest = kLongestPath,
                     .missing = "no serial device is chosen"},
                    {.name = "baud",
                     .placeholder = "N",
                     .type = Type::Number,
                     .place = Place::Parameter,
                     .member = memberOf<&PortConfig::baudRate>(),
                     .lowest = 50,
                     .highest = 4000000,
                     .offered = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400},
                     .refusal = "the baud rate {value} is out of range"},
                    {.name = "data",
                     .type = Type::Number,
                     .place = Place::Parameter,
                     .member = memberOf<&PortConfig::dataBits>(),
                     .lowest = 5,
                     .highest = 8,
                     .refusal = "data bits must be {lowest} to {highest}"},
                    {.name = "parity",
                     .type = Type::Choice,
                     .place = Place::Parameter,
                     .member = memberOf<&PortConfig::parity>(),
                     .choices = kParityNames},
                    {.name = "stop",
                     .type = Type::Number,
                     .place = Place::Parameter,
                     .member = memberOf<&PortConfig::stopBits>(),
                     .lowest = 1,
                     .highest = 2,
                     .refusal = "stop bits must be {lowest} or {highest}"},
                    {.name = "flow",
                     .type = Type::Choice,
                     .place = Place::Parameter,
                     .member = memberOf<&PortConfig::flow>(),
                     .choices = kFlowNames}}},
    };
}

// An IPv4 or IPv6 address, the latter with an optional zone ("fe80::1%eth0").
bool isIpAddress(const QString& text)
{
    const QByteArray address = text.section(QLatin1Char('%'), 0, 0).toLatin1();
    const QString zone = text.section(QLatin1Char('%'), 1);
    unsigned char parsed[sizeof(in6_addr)];
    if (::inet_pton(AF_INET, address.constData(), parsed) == 1)
        return !text.contains(QLatin1Char('%'));
    static const QRegularExpression zoneName(QStringLiteral("^[A-Za-z0-9_.-]{1,15}$"));
    return ::inet_pton(AF_INET6, address.constData(), parsed) == 1 &&
           (!text.contains(QLatin1Char('%')) || zoneName.match(zone).hasMatch());
}

// A host name after RFC 1123: dot-separated labels of letters, digits and inner hyphens.
bool isHostName(const QString& text)
{
    static const QRegularExpression name(
        QStringLiteral("^([A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}"
                       "[A-Za-z0-9])?)*\\.?$"));
    // A last label of digits alone is a mistyped address ("1234", "10.0.1"), never a name.
    const QString last = text.section(QLatin1Char('.'), -1, -1, QString::SectionSkipEmpty);
    return name.match(text).hasMatch() &&
           !std::all_of(last.begin(), last.end(), [](QChar c) { return c.isDigit(); });
}

bool isQueueName(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() > 0x20 && c.unicode() < 0x7f && c != QLatin1Char('/') && c != QLatin1Char('#') &&
               c != QLatin1Char('\\');
    });
}

// Whether a text of the type, of an allowed length, can name a port.
bool hasValidForm(Type type, const QString& text)
{
    switch (type) {
    case Type::Path:
        return !text.contains(QChar(0));
    case Type::Host:
        return isIpAddress(text) || isHostName(text);
    case Type::QueueName:
        return isQueueName(text);
    case Type::Number:
    case Type::Choice:
        break;
    }
    return true;
}

// A host of blanks is as good as none; a path or a queue name of blanks is judged as given.
bool isMissing(Type type, const QString& text)
{
    return type == Type::Host ? text.trimmed().isEmpty() : text.isEmpty();
}

QString filledIn(const char* text, const PortField& field, const QString& value)
{
    // The value last, so that braces in it stay as they are.
    return QString::fromLatin1(text)
        .replace(QStringLiteral("{lowest}"), QString::number(field.lowest))
        .replace(QStringLiteral("{highest}"), QString::number(field.highest))
        .replace(QStringLiteral("{value}"), value);
}

QString notValid(const PortField& field, const QString& text)
{
    return QStringLiteral("'%1' is not a valid value for %2").arg(text, QLatin1String(field.name));
}

QString refused(const PortField& field, const QString& value)
{
    return field.refusal ? filledIn(field.refusal, field, value) : notValid(field, value);
}

bool refuse(const QString& reason, QString* why)
{
    if (why)
        *why = reason;
    return false;
}

// Digits only, so "+9100", " 9100" and "9100x" are refused rather than half-read; and no more than
// an int holds, which is what every number's member holds at most.
std::optional<int> wholeNumber(const QString& text)
{
    // Checked by hand, not by a regular expression: compiling one would cost each start of the
    // command line more than the rest of reading a URI.
    const bool digits = !text.isEmpty() && text.size() <= 10 &&
                        std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const qint64 number = text.toLongLong();
    if (!digits || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

bool readNumber(const PortField& field, const QString& text, PortConfig& config, QString* why)
{
    const std::optional<int> number = wholeNumber(text);
    if (!number) {
        // A refusal that shows the value would show a number: there is none to show.
        const bool showsValue = QLatin1String(field.refusal).contains(QLatin1String("{value}"));
        return refuse(showsValue ? notValid(field, text) : refused(field, text), why);
    }
    if (*number < field.lowest || *number > field.highest)
        return refuse(refused(field, QString::number(*number)), why);
    field.member.set(config, qint64(*number));
    return true;
}

bool readChoice(const PortField& field, const QString& text, PortConfig& config, QString* why)
{
    const qsizetype index = field.choices.indexOf(text);
    if (index < 0)
        return refuse(notValid(field, text), why);
    field.member.set(config, qint64(index));
    return true;
}

QString textProblem(const PortField& field, const QString& text)
{
    if (isMissing(field.type, text))
        return QString::fromLatin1(field.missing);
    if (text.size() > field.highest || !hasValidForm(field.type, text))
        return field.refusal ? filledIn(field.refusal, field, text.left(80))
                             : QString::fromLatin1(field.missing);
    return {};
}

QString numberProblem(const PortField& field, qint64 number)
{
    if (number < field.lowest || number > field.highest)
        return refused(field, QString::number(number));
    return {};
}

// How a field's value is shown in the URI's forms.
QString valueForm(const PortField& field)
{
    if (field.placeholder)
        return QLatin1String(field.placeholder);
    if (field.type == Type::Choice)
        return field.choices.join(QLatin1Char('|'));
    const QLatin1String between(field.highest - field.lowest == 1 ? "|" : "..");
    return QString::number(field.lowest) + between + QString::number(field.highest);
}

} // namespace

const std::vector<PortKind>& portKinds()
{
    static const std::vector<PortKind> kinds = describeKinds();
    return kinds;
}

const PortKind* describedKind(PortConfig::Kind kind)
{
    const auto& kinds = portKinds();
    const auto found =
        std::find_if(kinds.begin(), kinds.end(), [kind](const PortKind& k) { return k.kind == kind; });
    return found == kinds.end() ? nullptr : &*found;
}

const PortKind* kindNamed(const QString& name)
{
    const auto& kinds = portKinds();
    const auto found = std::find_if(kinds.begin(), kinds.end(),
                                    [&name](const PortKind& k) { return name == QLatin1String(k.name); });
    return found == kinds.end() ? nullptr : &*found;
}

const PortField& portField(PortConfig::Kind kind, const char* name)
{
    if (const PortKind* described = describedKind(kind))
        for (const PortField& field : described->fields)
            if (qstrcmp(field.name, name) == 0)
                return field;
    qFatal("no port field '%s'", name);
}

QString uriForm(const PortKind& kind, UriForm form)
{
    QString text = QLatin1String(kind.name) + QLatin1Char(':');
    QStringList parameters;
    for (const PortField& field : kind.fields) {
        switch (field.place) {
        case Place::Address:
            text += valueForm(field);
            break;
        case Place::AfterHost:
            text += QStringLiteral("[:%1]").arg(valueForm(field));
            break;
        case Place::Parameter:
            parameters << QLatin1String(field.name) + QLatin1Char('=') + valueForm(field);
            break;
        }
    }
    if (form == UriForm::Address || parameters.isEmpty())
        return text;
    if (form == UriForm::Abbreviated)
        parameters = QStringList{parameters.first(), QStringLiteral("...")};
    return text + QStringLiteral("[?") + parameters.join(QLatin1Char('&')) + QLatin1Char(']');
}

QString portSummary(const PortKind& kind)
{
    const PortConfig defaults;
    QString summary = QString::fromLatin1(kind.summary);
    for (const PortField& field : kind.fields)
        summary.replace(QStringLiteral("{%1}").arg(QLatin1String(field.name)), fieldText(field, defaults));
    return summary;
}

namespace {

QString pathIdentity(const QString& path)
{
    QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    struct stat status
    {
    };
    if (::stat(encodePath(absolute).constData(), &status) != 0)
        return absolute;
    if (S_ISCHR(status.st_mode))
        return QStringLiteral("device %1").arg(status.st_rdev);
    return QStringLiteral("file %1 %2").arg(status.st_dev).arg(status.st_ino);
}

QString hostIdentity(const QString& host)
{
    const QByteArray address = host.toLatin1();
    for (const int family : {AF_INET, AF_INET6}) {
        unsigned char parsed[sizeof(in6_addr)];
        char shown[INET6_ADDRSTRLEN] = {};
        if (::inet_pton(family, address.constData(), parsed) == 1 &&
            ::inet_ntop(family, parsed, shown, sizeof shown))
            return QString::fromLatin1(shown);
    }
    return host.toLower();
}

// The identity of the port's fields; where `addressOnly`, of those that say where it is.
QString identityOf(const PortConfig& config, bool addressOnly,
                   const std::function<QString(const QString&)>& path)
{
    const PortKind* kind = describedKind(config.kind);
    if (!kind)
        return config.toUri();
    QStringList parts{QLatin1String(kind->name)};
    for (const PortField& field : kind->fields) {
        if (addressOnly && field.place == PortField::Place::Parameter)
            continue;
        const QString text = fieldText(field, config);
        parts << (field.type == Type::Path        ? path(text)
                  : field.type == Type::Host      ? hostIdentity(text)
                  : field.type == Type::QueueName ? text.toLower()
                                                  : text);
    }
    return parts.join(QChar(0)); // which no field holds
}

// A device by its numbers, anything else by its path with every link resolved, as far as it
// exists.
QString printerPathIdentity(const QString& path)
{
    constexpr int kMostLinks = 40; // as the system follows them
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    struct stat status
    {
    };
    if (::stat(encodePath(absolute).constData(), &status) == 0 && S_ISCHR(status.st_mode))
        return QStringLiteral("device %1").arg(status.st_rdev);
    QFileInfo file(absolute);
    // A link whose target is missing yet (a file a transmission makes) leads to it too.
    for (int hops = 0; file.isSymLink() && hops < kMostLinks; ++hops)
        file.setFile(file.symLinkTarget());
    if (QString resolved = file.canonicalFilePath(); !resolved.isEmpty())
        return resolved;
    const QString folder = QFileInfo(file.path()).canonicalFilePath();
    return folder.isEmpty() ? file.absoluteFilePath() : folder + QLatin1Char('/') + file.fileName();
}

} // namespace

QString portIdentity(const PortConfig& config)
{
    return identityOf(config, false, pathIdentity);
}

QString printerIdentity(const PortConfig& config)
{
    return identityOf(config, true, printerPathIdentity);
}

QString fieldText(const PortField& field, const PortConfig& config)
{
    const QVariant value = field.member.get(config);
    switch (field.type) {
    case Type::Number:
        return QString::number(value.toLongLong());
    case Type::Choice:
        return field.choices.value(value.toLongLong());
    case Type::Path:
    case Type::Host:
    case Type::QueueName:
        break;
    }
    return value.toString();
}

bool readField(const PortField& field, const QString& text, PortConfig& config, QString* why)
{
    switch (field.type) {
    case Type::Number:
        return readNumber(field, text, config, why);
    case Type::Choice:
        return readChoice(field, text, config, why);
    case Type::Path:
    case Type::Host:
    case Type::QueueName:
        break;
    }
    field.member.set(config, text);
    return true;
}

QString fieldProblem(const PortField& field, const PortConfig& config)
{
    const QVariant value = field.member.get(config);
    switch (field.type) {
    case Type::Number:
        return numberProblem(field, value.toLongLong());
    case Type::Choice:
        return {}; // the member's enum holds no other value
    case Type::Path:
    case Type::Host:
    case Type::QueueName:
        break;
    }
    return textProblem(field, value.toString());
}

QString parityName(PortConfig::Parity parity)
{
    return kParityNames.value(int(parity));
}

QString flowName(PortConfig::Flow flow)
{
    return kFlowNames.value(int(flow));
}

} // namespace qbx
