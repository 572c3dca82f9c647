#include "port/portconfig.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <array>
#include <limits>

#include <arpa/inet.h>

namespace TeskKit {
namespace {

const QString kKindKey = QStringLiteral("port/kind");
const QString kFilePathKey = QStringLiteral("file/path");
const QString kHostKey = QStringLiteral("tcp/host");
const QString kTcpPortKey = QStringLiteral("tcp/port");
const QString kQueueKey = QStringLiteral("queue/name");
const QString kDeviceKey = QStringLiteral("serial/device");
const QString kBaudKey = QStringLiteral("serial/baud");
const QString kDataKey = QStringLiteral("serial/data");
const QString kParityKey = QStringLiteral("serial/parity");
const QString kStopKey = QStringLiteral("serial/stop");
const QString kFlowKey = QStringLiteral("serial/flow");

// A path longer than any file system allows is damage, not a choice.
constexpr qsizetype kMaxPathLength = 4096;
// CUPS refuses longer queue names.
constexpr qsizetype kMaxQueueLength = 127;

struct KindName
{
    PortConfig::Kind kind;
    const char* name;
};
constexpr std::array kKindNames{
    KindName{PortConfig::Kind::File, "file"}, KindName{PortConfig::Kind::Tcp, "tcp"},
    KindName{PortConfig::Kind::Queue, "queue"}, KindName{PortConfig::Kind::Serial, "serial"}};

QString kindName(PortConfig::Kind kind)
{
    for (const KindName& k : kKindNames)
        if (k.kind == kind)
            return QString::fromLatin1(k.name);
    return {};
}

std::optional<PortConfig::Kind> kindNamed(const QString& name)
{
    for (const KindName& k : kKindNames)
        if (name == QLatin1String(k.name))
            return k.kind;
    return std::nullopt;
}

std::optional<PortConfig::Parity> parityNamed(const QString& name)
{
    for (auto p : {PortConfig::Parity::None, PortConfig::Parity::Even, PortConfig::Parity::Odd})
        if (parityName(p) == name)
            return p;
    return std::nullopt;
}

std::optional<PortConfig::Flow> flowNamed(const QString& name)
{
    for (auto f : {PortConfig::Flow::None, PortConfig::Flow::Hardware, PortConfig::Flow::Software})
        if (flowName(f) == name)
            return f;
    return std::nullopt;
}

// Digits only, so "+9100", " 9100" and "9100x" are refused rather than half-read.
std::optional<qint64> readWholeNumber(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toLongLong();
}

bool isValidPath(const QString& path)
{
    return !path.isEmpty() && path.size() <= kMaxPathLength && !path.contains(QChar(0));
}

bool isValidQueueName(const QString& name)
{
    if (name.isEmpty() || name.size() > kMaxQueueLength)
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() > 0x20 && c.unicode() < 0x7f && c != QLatin1Char('/') && c != QLatin1Char('#') &&
               c != QLatin1Char('\\');
    });
}

std::optional<PortConfig> parseTcp(const QString& rest, QString* why)
{
    QString host = rest;
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) {
            *why = QStringLiteral("the IPv6 address has no closing ']'");
            return std::nullopt;
        }
        host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(QLatin1Char(':'))) {
                *why = QStringLiteral("unexpected text after the IPv6 address");
                return std::nullopt;
            }
            portText = after.mid(1);
            if (portText.isEmpty()) {
                *why = QStringLiteral("the port number is missing after ':'");
                return std::nullopt;
            }
        }
    } else if (const qsizetype colon = rest.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (host.contains(QLatin1Char(':'))) {
            *why = QStringLiteral("an IPv6 address is written in brackets: tcp:[ADDRESS]:PORT");
            return std::nullopt;
        }
        if (portText.isEmpty()) {
            *why = QStringLiteral("the port number is missing after ':'");
            return std::nullopt;
        }
    }
    PortConfig config;
    config.kind = PortConfig::Kind::Tcp;
    config.host = host;
    if (!portText.isEmpty()) {
        const auto port = readWholeNumber(portText);
        if (!port || *port < 1 || *port > 65535) {
            *why = QStringLiteral("the port must be a number from 1 to 65535");
            return std::nullopt;
        }
        config.tcpPort = static_cast<quint16>(*port);
    }
    return config;
}

std::optional<PortConfig> parseSerial(const QString& rest, QString* why)
{
    PortConfig config;
    config.kind = PortConfig::Kind::Serial;
    const qsizetype question = rest.indexOf(QLatin1Char('?'));
    config.serialDevice = rest.left(question);
    if (question < 0)
        return config;
    const QStringList parameters = rest.mid(question + 1).split(QLatin1Char('&'));
    QStringList seen;
    for (const QString& parameter : parameters) {
        const qsizetype equals = parameter.indexOf(QLatin1Char('='));
        const QString name = parameter.left(equals);
        const QString value = equals < 0 ? QString() : parameter.mid(equals + 1);
        // Taking the last of two values would hide a typing error in a script.
        if (seen.contains(name)) {
            *why = QStringLiteral("the serial setting '%1' is given more than once").arg(name);
            return std::nullopt;
        }
        seen << name;
        bool known = true;
        if (name == QLatin1String("baud")) {
            const auto baud = readWholeNumber(value);
            known = baud.has_value() && *baud <= std::numeric_limits<qint32>::max();
            config.baudRate = known ? static_cast<qint32>(*baud) : 0;
        } else if (name == QLatin1String("data")) {
            config.dataBits = static_cast<int>(readWholeNumber(value).value_or(0));
        } else if (name == QLatin1String("stop")) {
            config.stopBits = static_cast<int>(readWholeNumber(value).value_or(0));
        } else if (name == QLatin1String("parity")) {
            const auto parity = parityNamed(value);
            known = parity.has_value();
            config.parity = parity.value_or(PortConfig::Parity::None);
        } else if (name == QLatin1String("flow")) {
            const auto flow = flowNamed(value);
            known = flow.has_value();
            config.flow = flow.value_or(PortConfig::Flow::None);
        } else {
            *why =
                QStringLiteral("unknown serial setting '%1' (use baud, data, parity, stop, flow)").arg(name);
            return std::nullopt;
        }
        if (!known) {
            *why = QStringLiteral("'%1' is not a valid value for %2").arg(value, name);
            return std::nullopt;
        }
    }
    return config;
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

// One kind's stored parameters, or nullopt when they are missing or name no usable port.
std::optional<PortConfig> readParameters(QSettings& settings, PortConfig::Kind kind)
{
    auto number = [&settings](const QString& key) { return readWholeNumber(settings.value(key).toString()); };
    PortConfig config;
    config.kind = kind;
    switch (kind) {
    case PortConfig::Kind::File:
        config.filePath = settings.value(kFilePathKey).toString();
        break;
    case PortConfig::Kind::Tcp: {
        config.host = settings.value(kHostKey).toString();
        const auto port = number(kTcpPortKey);
        if (!port || *port < 1 || *port > 65535)
            return std::nullopt;
        config.tcpPort = static_cast<quint16>(*port);
        break;
    }
    case PortConfig::Kind::Queue:
        config.queueName = settings.value(kQueueKey).toString();
        break;
    case PortConfig::Kind::Serial: {
        config.serialDevice = settings.value(kDeviceKey).toString();
        const auto baud = number(kBaudKey);
        const auto data = number(kDataKey);
        const auto stop = number(kStopKey);
        const auto parity = parityNamed(settings.value(kParityKey).toString());
        const auto flow = flowNamed(settings.value(kFlowKey).toString());
        if (!baud || !data || !stop || !parity || !flow || *baud > 4000000 || *data > 8 || *stop > 2)
            return std::nullopt;
        config.baudRate = static_cast<qint32>(*baud);
        config.dataBits = static_cast<int>(*data);
        config.stopBits = static_cast<int>(*stop);
        config.parity = *parity;
        config.flow = *flow;
        break;
    }
    }
    if (!config.problem().isEmpty())
        return std::nullopt;
    return config;
}

// Copies the parameters of from's kind, leaving the kind in force and the other kinds' alone.
void copyParameters(const PortConfig& from, PortConfig& to)
{
    switch (from.kind) {
    case PortConfig::Kind::File:
        to.filePath = from.filePath;
        break;
    case PortConfig::Kind::Tcp:
        to.host = from.host;
        to.tcpPort = from.tcpPort;
        break;
    case PortConfig::Kind::Queue:
        to.queueName = from.queueName;
        break;
    case PortConfig::Kind::Serial:
        to.serialDevice = from.serialDevice;
        to.baudRate = from.baudRate;
        to.dataBits = from.dataBits;
        to.parity = from.parity;
        to.stopBits = from.stopBits;
        to.flow = from.flow;
        break;
    }
}

} // namespace

bool isValidHost(const QString& host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    if (isIpAddress(host))
        return true;
    // Host names after RFC 1123: dot-separated labels of letters, digits and inner hyphens.
    static const QRegularExpression name(QStringLiteral(
        "^(?=.{1,253}$)([A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}"
        "[A-Za-z0-9])?)*\\.?$"));
    return name.match(host).hasMatch();
}

const QList<qint32>& standardBaudRates()
{
    static const QList<qint32> rates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    return rates;
}

QString parityName(PortConfig::Parity parity)
{
    switch (parity) {
    case PortConfig::Parity::None:
        return QStringLiteral("none");
    case PortConfig::Parity::Even:
        return QStringLiteral("even");
    case PortConfig::Parity::Odd:
        return QStringLiteral("odd");
    }
    return {};
}

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

QString flowName(PortConfig::Flow flow)
{
    switch (flow) {
    case PortConfig::Flow::None:
        return QStringLiteral("none");
    case PortConfig::Flow::Hardware:
        return QStringLiteral("hardware");
    case PortConfig::Flow::Software:
        return QStringLiteral("software");
    }
    return {};
}

PortConfig PortConfig::defaults()
{
    PortConfig config;
    config.filePath = QDir::home().filePath(QStringLiteral("QBX740.prn"));
    return config;
}

QString PortConfig::problem() const
{
    switch (kind) {
    case Kind::File:
        return isValidPath(filePath) ? QString() : QStringLiteral("no output file is chosen");
    case Kind::Tcp:
        if (host.trimmed().isEmpty())
            return QStringLiteral("no printer host is given");
        if (!isValidHost(host))
            return QStringLiteral("'%1' is not a valid host name or address").arg(host.left(80));
        return tcpPort == 0 ? QStringLiteral("the port must be a number from 1 to 65535") : QString();
    case Kind::Queue:
        if (queueName.isEmpty())
            return QStringLiteral("no print queue is chosen");
        return isValidQueueName(queueName)
                   ? QString()
                   : QStringLiteral("'%1' is not a valid print queue name").arg(queueName.left(80));
    case Kind::Serial:
        if (!isValidPath(serialDevice))
            return QStringLiteral("no serial device is chosen");
        if (baudRate < 50 || baudRate > 4000000)
            return QStringLiteral("the baud rate %1 is out of range").arg(baudRate);
        if (dataBits < 5 || dataBits > 8)
            return QStringLiteral("data bits must be 5 to 8");
        if (stopBits != 1 && stopBits != 2)
            return QStringLiteral("stop bits must be 1 or 2");
        return {};
    }
    return QStringLiteral("unknown kind of port");
}

QString PortConfig::displayName() const
{
    switch (kind) {
    case Kind::File:
        return filePath;
    case Kind::Tcp:
        return (host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host) +
               QLatin1Char(':') + QString::number(tcpPort);
    case Kind::Queue:
        return QStringLiteral("print queue '%1'").arg(queueName);
    case Kind::Serial:
        return serialDevice;
    }
    return {};
}

QString PortConfig::toUri() const
{
    switch (kind) {
    case Kind::File:
        return QStringLiteral("file:") + filePath;
    case Kind::Tcp:
        return QStringLiteral("tcp:") + displayName();
    case Kind::Queue:
        return QStringLiteral("queue:") + queueName;
    case Kind::Serial:
        return QStringLiteral("serial:%1?baud=%2&data=%3&parity=%4&stop=%5&flow=%6")
            .arg(serialDevice)
            .arg(baudRate)
            .arg(dataBits)
            .arg(parityName(parity))
            .arg(stopBits)
            .arg(flowName(flow));
    }
    return {};
}

std::optional<PortConfig> PortConfig::fromUri(const QString& uri, QString* error)
{
    auto reject = [error, &uri](const QString& why) -> std::optional<PortConfig> {
        if (error)
            *error = QStringLiteral("'%1' is not a port: %2").arg(uri.left(200), why);
        return std::nullopt;
    };
    const qsizetype colon = uri.indexOf(QLatin1Char(':'));
    const auto kind = kindNamed(uri.left(colon));
    if (colon < 0 || !kind)
        return reject(
            QStringLiteral("use file:PATH, tcp:HOST[:PORT], queue:NAME or serial:DEVICE[?baud=N&...]"));
    const QString rest = uri.mid(colon + 1);

    QString why;
    std::optional<PortConfig> config;
    switch (*kind) {
    case Kind::File:
        config = PortConfig{};
        config->filePath = rest;
        break;
    case Kind::Tcp:
        config = parseTcp(rest, &why);
        break;
    case Kind::Queue:
        config = PortConfig{};
        config->kind = Kind::Queue;
        config->queueName = rest;
        break;
    case Kind::Serial:
        config = parseSerial(rest, &why);
        break;
    }
    if (!config)
        return reject(why);
    if (const QString problem = config->problem(); !problem.isEmpty())
        return reject(problem);
    return config;
}

PortConfig PortConfig::load(QSettings& settings)
{
    const auto kind = kindNamed(settings.value(kKindKey).toString());
    if (!kind)
        return defaults();
    // Each kind's parameters come back on their own, so that switching back to a kind finds what
    // the user set up for it. Files of older versions hold the kind in force alone; the others
    // then keep their defaults, as does a kind whose stored values are damaged. Damage in the
    // kind in force gives the defaults altogether, never a port the user did not choose.
    PortConfig config = defaults();
    for (const KindName& k : kKindNames) {
        const std::optional<PortConfig> stored = readParameters(settings, k.kind);
        if (stored)
            copyParameters(*stored, config);
        else if (k.kind == *kind)
            return defaults();
    }
    config.kind = *kind;
    return config;
}

void PortConfig::save(QSettings& settings) const
{
    // Nothing of an earlier layout may linger beside the values written now.
    settings.clear();
    settings.setValue(kKindKey, kindName(kind));
    settings.setValue(kFilePathKey, filePath);
    settings.setValue(kHostKey, host);
    settings.setValue(kTcpPortKey, tcpPort);
    settings.setValue(kQueueKey, queueName);
    settings.setValue(kDeviceKey, serialDevice);
    settings.setValue(kBaudKey, baudRate);
    settings.setValue(kDataKey, dataBits);
    settings.setValue(kParityKey, parityName(parity));
    settings.setValue(kStopKey, stopBits);
    settings.setValue(kFlowKey, flowName(flow));
}

void PortConfig::takeKindFrom(const PortConfig& chosen)
{
    kind = chosen.kind;
    switch (chosen.kind) {
    case Kind::File:
        filePath = chosen.filePath;
        break;
    case Kind::Tcp:
        host = chosen.host;
        tcpPort = chosen.tcpPort;
        break;
    case Kind::Queue:
        queueName = chosen.queueName;
        break;
    case Kind::Serial:
        serialDevice = chosen.serialDevice;
        baudRate = chosen.baudRate;
        dataBits = chosen.dataBits;
        parity = chosen.parity;
        stopBits = chosen.stopBits;
        flow = chosen.flow;
        break;
    }
}

} // namespace TeskKit
