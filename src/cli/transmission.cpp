#include "transmission.h"

#include "portsession.h"
#include "reporter.h"

#include <QStringList>

namespace qbx::cli {
namespace {

class CollectingReporter final : public TeskKit::Reporter
{
public:
    void report(const QString& message) override { messages << message; }
    QStringList messages;
};

QString firstLine(const QString& text)
{
    return text.section(QLatin1Char('\n'), 0, 0).trimmed();
}

} // namespace

std::vector<TeskKit::PortConfig> portsOrSaved(const std::vector<TeskKit::PortConfig>& named)
{
    if (!named.empty())
        return named;
    CollectingReporter reporter;
    TeskKit::PortSession session(reporter);
    session.LoadPortSettings(kPortSettingsKey);
    return {session.config()};
}

bool transmitToEach(const std::vector<TeskKit::PortConfig>& ports, const Transmission& transmission,
                    std::ostream& out, std::ostream& err)
{
    bool allSucceeded = true;
    for (const TeskKit::PortConfig& port : ports) {
        CollectingReporter reporter;
        TeskKit::PortSession session(reporter);
        session.setConfig(port);
        const QString sourceError = transmission(session);
        if (!sourceError.isEmpty())
            reporter.messages.prepend(sourceError);
        // Only a transmission that the port confirms counts: no message is not enough.
        const bool succeeded = session.lastOutcome().delivered() && reporter.messages.isEmpty();
        if (!succeeded && reporter.messages.isEmpty())
            reporter.messages << QStringLiteral("the port did not confirm the transmission");
        const std::string uri = port.toUri().toStdString();
        if (succeeded) {
            out << "OK " << uri << '\n';
            continue;
        }
        allSucceeded = false;
        out << "FAILED " << uri << ": " << firstLine(reporter.messages.first()).toStdString() << '\n';
        for (const QString& message : reporter.messages)
            err << "qbx7config: " << uri << ": " << message.toStdString() << '\n';
    }
    out.flush();
    return allSucceeded;
}

} // namespace qbx::cli
