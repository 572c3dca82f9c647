#include "doctor/portdoctor.h"

#include "port/portkinds.h"
#include "port/portmessages.h"
#include "port/transport.h"

#include <algorithm>
#include <climits>

#include <pwd.h>
#include <unistd.h>

namespace qbx {

QString levelName(Finding::Level level)
{
    switch (level) {
    case Finding::Level::Warning:
        return QStringLiteral("WARNING");
    case Finding::Level::Problem:
        return QStringLiteral("PROBLEM");
    case Finding::Level::Ok:
        break;
    }
    return QStringLiteral("OK");
}

int countFindings(const Findings& findings, Finding::Level level)
{
    return int(std::count_if(findings.begin(), findings.end(),
                             [level](const Finding& f) { return f.level == level; }));
}

bool hasProblem(const Findings& findings)
{
    return countFindings(findings, Finding::Level::Problem) > 0;
}

Identity Identity::ofThisProcess()
{
    Identity self;
    self.self = true;
    self.uid = ::geteuid();
    std::vector<gid_t> groups(NGROUPS_MAX);
    const int count = ::getgroups(NGROUPS_MAX, groups.data());
    self.groups = QList<gid_t>(groups.begin(), groups.begin() + std::max(count, 0));
    if (!self.groups.contains(::getegid()))
        self.groups.append(::getegid());
    if (const passwd* user = ::getpwuid(self.uid))
        self.userName = QString::fromLocal8Bit(user->pw_name);
    return self;
}

Findings checkByConnecting(const PortConfig& config, const PortTimeouts& timeouts)
{
    // The transmission's own open, so that the check and a transmission agree on every address.
    const std::unique_ptr<Transport> connection = describedKind(config.kind)->transport(config, timeouts);
    if (!connection->open())
        return {Finding::blocker(connection->failure().problem)};
    connection->abort();
    return {Finding::ok(QStringLiteral("%1 accepts connections.").arg(config.displayName()))};
}

Findings checkPort(const PortConfig& config, const PortTimeouts& timeouts, const Identity& who)
{
    if (!config.problem().isEmpty())
        return {Finding::blocker(unusablePort(config))};
    switch (config.kind) {
    case PortConfig::Kind::File:
        return checkFileOrDevice(config.filePath, who);
    case PortConfig::Kind::Queue:
        return checkPrintQueue(config.queueName, timeouts);
    case PortConfig::Kind::Serial:
        return checkSerialLine(config, timeouts, who);
    default:
        return checkByConnecting(config, timeouts);
    }
}

} // namespace qbx
