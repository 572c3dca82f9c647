// doctor: what stands between each port and the printer, found without sending anything.
#include "cli/commands.h"
#include "cli/commandtable.h"
#include "cli/console.h"
#include "doctor/portdoctor.h"

#include <QJsonArray>

namespace qbx::cli {
namespace {

using qbx::Finding;

QJsonObject portObject(const qbx::PortConfig& port, const qbx::Findings& findings)
{
    QJsonArray list;
    for (const Finding& f : findings)
        list.append(
            QJsonObject{{"level", qbx::levelName(f.level).toLower()},
                        {"found", f.problem.what},
                        {"advice", f.problem.todo.isEmpty() ? QJsonValue() : QJsonValue(f.problem.todo)}});
    return QJsonObject{{"uri", port.toUri()}, {"findings", list}};
}

void printFindings(const qbx::Findings& findings, Console& console)
{
    for (const Finding& f : findings) {
        console.line(qbx::levelName(f.level) + QLatin1Char(' ') + printable(f.problem.what));
        if (!f.problem.todo.isEmpty())
            console.line(QStringLiteral("    ") + printable(f.problem.todo));
    }
}

} // namespace

int runDoctor(const Invocation& invocation, Console& console)
{
    const auto named = portsOf(invocation);
    if (const auto* error = std::get_if<UsageError>(&named))
        return console.usage(error->command, error->message);
    const auto& ports = std::get<std::vector<qbx::PortConfig>>(named);
    QJsonArray list;
    int problems = 0;
    int warnings = 0;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const qbx::Findings findings = qbx::checkPort(ports[i]);
        problems += qbx::countFindings(findings, Finding::Level::Problem);
        warnings += qbx::countFindings(findings, Finding::Level::Warning);
        if (console.json()) {
            list.append(portObject(ports[i], findings));
            continue;
        }
        if (i > 0)
            console.line(QString());
        printFindings(findings, console);
        console.out().flush();
    }
    if (console.json())
        console.document(QJsonObject{
            {"command", "doctor"}, {"ports", list}, {"problems", problems}, {"warnings", warnings}});
    return problems == 0 ? Done : Failed;
}

} // namespace qbx::cli
