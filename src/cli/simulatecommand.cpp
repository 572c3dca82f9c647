// simulate: a virtual printer that shows what it receives.
#include "cli/commands.h"
#include "cli/commandtable.h"
#include "cli/console.h"
#include "port/stopsignals.h"
#include "simulator/simulator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <arpa/inet.h>

namespace qbx::cli {
namespace {

const QString kSimulate = QStringLiteral("simulate");
// An hour: a client that sends nothing for longer has surely gone.
constexpr int kLongestIdleSeconds = 3600;

// "127.0.0.1:9100", "localhost:0", "[::1]:9100", "0.0.0.0:9100".
bool parseListen(const QString& text, SimulatorSetup& setup)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535)
        return false;
    setup.port = quint16(port);
    if (host == QLatin1String("localhost"))
        host = QStringLiteral("127.0.0.1");
    in6_addr parsed{};
    const QByteArray address = host.toLatin1();
    if (::inet_pton(AF_INET, address.constData(), &parsed) != 1 &&
        ::inet_pton(AF_INET6, address.constData(), &parsed) != 1)
        return false;
    setup.host = host;
    return true;
}

QString settingLine(const QJsonObject& o)
{
    return o.value("label").toString() + QStringLiteral(" = ") + o.value("value").toString();
}

QString selfTestText(const QJsonObject& e)
{
    const QJsonObject words = e.value("switches").toObject();
    QStringList switches;
    for (auto it = words.begin(); it != words.end(); ++it)
        switches << it.key() + QLatin1Char('=') + it.value().toString();
    QString page = QStringLiteral("self-test page: switches %1\n").arg(switches.join(QLatin1Char(' ')));
    for (const auto& setting : e.value("settings").toArray())
        page += QStringLiteral("    ") + settingLine(setting.toObject()) + QLatin1Char('\n');
    return page + QStringLiteral("end of self-test page");
}

QString endText(const QJsonObject& e)
{
    QStringList lines;
    const qint64 shownBytes = e.value("printTextBytes").toInteger();
    if (const qint64 data = e.value("printData").toInteger())
        lines << QStringLiteral("%1 bytes of print data: \"%2\"%3")
                     .arg(data)
                     .arg(e.value("printText").toString())
                     .arg(data > shownBytes ? QStringLiteral(" (the first %1 bytes)").arg(shownBytes)
                                            : QString());
    if (const qint64 ignored = e.value("ignoredFrames").toInteger())
        lines << QStringLiteral("%1 frames for switches the printer does not have, ignored").arg(ignored);
    if (e.value("stored").toBool())
        lines << QStringLiteral("kept: the store frame made the printer keep its switch values");
    else if (e.value("changed").toBool())
        lines << QStringLiteral("not kept: no store frame, so the changes last until the simulator stops");
    lines << QStringLiteral("end of transmission from %1: %2 bytes")
                 .arg(printable(e.value("from").toString()))
                 .arg(e.value("bytes").toInteger());
    return lines.join(QLatin1Char('\n'));
}

// " (9600 baud, 1 stop bit, flow control none)": the line as a writer set it.
QString lineText(const QJsonObject& line)
{
    if (line.isEmpty())
        return {};
    const QJsonValue baud = line.value("baud");
    const int stopBits = line.value("stopBits").toInt();
    return QStringLiteral(" (%1, %2 stop bit%3, flow control %4)")
        .arg(baud.isNull() ? QStringLiteral("a baud rate of no standard")
                           : QStringLiteral("%1 baud").arg(baud.toInt()))
        .arg(stopBits)
        .arg(stopBits == 1 ? QString() : QStringLiteral("s"))
        .arg(line.value("flow").toString());
}

// An event as the text lines a person reads.
QString eventText(const QJsonObject& e)
{
    const QString name = e.value("event").toString();
    if (name == QLatin1String("listening"))
        return QStringLiteral("listening on ") + printable(e.value("uri").toString());
    if (e.contains("message"))
        return printable(e.value("message").toString());
    if (name == QLatin1String("transmission"))
        return QStringLiteral("transmission from ") + printable(e.value("from").toString()) +
               lineText(e.value("line").toObject());
    if (name == QLatin1String("selftest"))
        return selfTestText(e);
    if (name == QLatin1String("change")) {
        const QString word =
            QStringLiteral("switch %1: %2 → %3")
                .arg(e.value("switch").toString(), e.value("before").toString(), e.value("after").toString());
        return e.contains("key") ? word + QStringLiteral(", ") + settingLine(e) : word;
    }
    return endText(e);
}

} // namespace

int runSimulate(const Invocation& invocation, Console& console)
{
    SimulatorSetup setup;
    if (invocation.isSet(options::listen) && !parseListen(invocation.value(options::listen), setup))
        return console.usage(kSimulate,
                             QStringLiteral("--listen takes HOST:PORT, HOST an address such as 127.0.0.1, "
                                            "0.0.0.0 or [::1], or localhost, and PORT 0 to 65535"));
    setup.pty = invocation.isSet(options::pty);
    setup.stateFile = invocation.value(options::state);
    const auto idle =
        wholeNumberOption(invocation, options::idle, 0, kLongestIdleSeconds, setup.clientIdleMs / 1000);
    if (const auto* error = std::get_if<UsageError>(&idle))
        return console.usage(error->command, error->message);
    setup.clientIdleMs = std::get<int>(idle) * 1000;
    const bool json = console.json();
    Simulator simulator([&console, json](const QJsonObject& e) {
        if (json)
            console.out() << QJsonDocument(e).toJson(QJsonDocument::Compact).toStdString() << '\n';
        else
            console.line(QDateTime::fromString(e.value("time").toString(), Qt::ISODateWithMs)
                             .toLocalTime()
                             .toString(QStringLiteral("hh:mm:ss.zzz ")) +
                         eventText(e));
        console.out().flush();
    });
    // The transmission under way is reported before the program ends.
    const StopSignals stop;
    QString why;
    if (!simulator.start(setup, &why))
        return console.fail(kSimulate, why);
    QObject::connect(&stop, &StopSignals::requested, [&simulator] {
        simulator.stop();
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    return Done;
}

} // namespace qbx::cli
