// store, selftest and send: one transmission to each port named, side by side.
#include "cli/commands.h"
#include "cli/commandtable.h"
#include "cli/console.h"
#include "cli/fleet.h"
#include "cli/framereport.h"
#include "cli/home.h"
#include "cli/parser.h"
#include "cli/recordkeeper.h"
#include "cli/textfiles.h"
#include "port/datafilereader.h"
#include "port/nativepath.h"
#include "port/portkinds.h"
#include "port/storerecord.h"
#include "settings/choices.h"
#include "settings/frames.h"

#include <QJsonArray>

#include <map>
#include <set>

#include <sys/stat.h>

namespace qbx::cli {
namespace {

using Result = qbx::TransmissionOutcome::Result;
using Ports = std::vector<qbx::PortConfig>;

QString commandName(const Invocation& invocation)
{
    return QLatin1String(invocation.command->name);
}

// Keeps what a transmission would send, for --dry-run.
class CollectingPort final : public qbx::PrinterPort
{
public:
    void OpenPort() override {}
    void WritePort(std::string_view bytes) override { sent += bytes; }
    void ClosePort() override {}
    void LoadPortSettings(const std::string&) override {}
    void SavePortSettings(const std::string&) override {}

    std::string sent;
};

class PortList
{
public:
    // Adds the port of a URI; false with *why when it is none or named twice.
    bool add(const QString& uri, const QString& where, QString* why)
    {
        QString problem;
        const auto config = qbx::PortConfig::fromUri(uri, &problem);
        if (!config) {
            *why = where + printable(problem);
            return false;
        }
        // Sent twice, a port would take the two transmissions at once, mixed.
        const auto [first, isNew] = m_named.emplace(qbx::portIdentity(*config), config->toUri());
        if (!isNew) {
            *why = first->second == config->toUri()
                       ? QStringLiteral("%1 is named more than once").arg(printable(config->toUri()))
                       : QStringLiteral("%1 is the port %2 again, by another name")
                             .arg(printable(config->toUri()), printable(first->second));
            return false;
        }
        ports.push_back(*config);
        return true;
    }

    Ports ports;

private:
    std::map<QString, QString> m_named; // the identities of the ports, and each one's first URI
};

// The ports that --port and --ports-from name, else the saved choice.
std::variant<Ports, UsageError> namedOrSavedPorts(const Invocation& invocation)
{
    const QString command = commandName(invocation);
    PortList list;
    QString why;
    for (const auto& [option, value] : invocation.options) {
        if (option == &options::port && !list.add(value, QStringLiteral("--port: "), &why))
            return UsageError{command, why};
        if (option != &options::portsFrom)
            continue;
        QString text;
        if (!readTextFile(value, &text, &why))
            return UsageError{command, why};
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (qsizetype n = 0; n < lines.size(); ++n) {
            const QString uri = lines.at(n).trimmed();
            const QString where = QStringLiteral("%1 line %2: ").arg(printable(value)).arg(n + 1);
            if (!uri.isEmpty() && !uri.startsWith(QLatin1Char('#')) && !list.add(uri, where, &why))
                return UsageError{command, why};
        }
    }
    if (!list.ports.empty())
        return list.ports;
    if (const QString problem = homeProblem(); !problem.isEmpty())
        return UsageError{command, problem};
    qbx::PortSession session;
    session.LoadPortSettings(std::string(qbx::kPortSettingsKey));
    return Ports{session.config()};
}

} // namespace

std::variant<Ports, UsageError> portsOf(const Invocation& invocation)
{
    auto ports = namedOrSavedPorts(invocation);
    // QSerialPort watches its line with Qt's socket notifiers, which need the application object.
    const auto serial = [](const qbx::PortConfig& p) { return p.kind == qbx::PortConfig::Kind::Serial; };
    if (const auto* list = std::get_if<Ports>(&ports);
        list && std::any_of(list->begin(), list->end(), serial))
        ensureApplication();
    return ports;
}

namespace {

std::variant<int, UsageError> jobsOf(const Invocation& invocation)
{
    return wholeNumberOption(invocation, options::jobs, 1, kMaxJobs, kDefaultJobs);
}

QString outcomeName(const PortResult& r)
{
    if (r.unchanged)
        return QStringLiteral("unchanged");
    switch (r.outcome.result) {
    case Result::Delivered:
        return QStringLiteral("ok");
    case Result::Cancelled:
        return QStringLiteral("cancelled");
    case Result::Failed:
    case Result::None:
        break;
    }
    return QStringLiteral("failed");
}

QString failureMessage(const PortResult& r)
{
    const QString message = r.outcome.message();
    return message.isEmpty() ? QStringLiteral("the port did not confirm the transmission") : message;
}

// The one report of a port's outcome.
QString resultLine(const PortResult& r)
{
    const QString uri = printable(r.uri);
    const QString stage = qbx::stageName(r.outcome.stage);
    if (r.unchanged)
        return QStringLiteral("UNCHANGED ") + uri;
    switch (r.outcome.result) {
    case Result::Delivered:
        return QStringLiteral("OK ") + uri;
    case Result::Cancelled:
        return r.started ? QStringLiteral("CANCELLED %1 while %2").arg(uri, stage)
                         : QStringLiteral("CANCELLED %1: not started").arg(uri);
    case Result::Failed:
    case Result::None:
        break;
    }
    return QStringLiteral("FAILED %1 while %2: %3").arg(uri, stage, oneLine(failureMessage(r)));
}

QJsonObject resultObject(const PortResult& r)
{
    const bool delivered = r.outcome.delivered() || r.unchanged;
    return QJsonObject{
        {"uri", r.uri},
        {"outcome", outcomeName(r)},
        {"stage", delivered || !r.started ? QJsonValue() : QJsonValue(qbx::stageName(r.outcome.stage))},
        {"message", delivered   ? QString()
                    : r.started ? failureMessage(r)
                                : QStringLiteral("not started")},
        {"bytes", double(r.outcome.bytes)},
        {"duration", r.seconds},
    };
}

int exitFor(bool succeeded)
{
    // Interrupted, the program ends as the shell expects of a signal it was sent.
    if (const int signal = interruptingSignal())
        return 128 + signal;
    return succeeded ? Done : Failed;
}

PortResult unchangedResult(const qbx::PortConfig& port)
{
    PortResult r;
    r.uri = port.toUri();
    r.unchanged = true;
    return r;
}

// What a command does beside the transmissions: ports it leaves out, and more to report.
struct Bookkeeping
{
    std::vector<bool> unchanged;                     // by the ports' order; empty: every port is sent to
    std::function<void(const PortResult&)> reported; // before the port's line
    std::function<void(const PortResult&, QJsonObject&)> describe; // more of a port's JSON entry
    QJsonObject document;                                          // more of the JSON document
};

int transmit(const Invocation& invocation, Console& console, const Transmission& transmission,
             const Ports& ports, const Bookkeeping& books = {})
{
    const auto jobs = jobsOf(invocation);
    if (const auto* error = std::get_if<UsageError>(&jobs))
        return console.usage(error->command, error->message);
    const auto leftOut = [&books](std::size_t i) { return i < books.unchanged.size() && books.unchanged[i]; };
    Ports sent;
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (!leftOut(i))
            sent.push_back(ports[i]);
    ProgressLine progress(!console.json() && console.errorsOnTerminal(), sent.size());
    std::vector<PortResult> results;
    const auto report = [&](const PortResult& r) {
        results.push_back(r);
        const auto cleared = progress.clearedForOutput();
        if (books.reported)
            books.reported(r);
        if (console.json())
            return;
        console.line(resultLine(r));
        console.out().flush();
    };
    // Each port in the order given: those left out between the others.
    const auto reportLeftOut = [&] {
        while (results.size() < ports.size() && leftOut(results.size()))
            report(unchangedResult(ports[results.size()]));
    };
    reportLeftOut();
    if (!sent.empty())
        transmitToAll(
            sent, transmission, std::get<int>(jobs),
            [&](const PortResult& r) {
                report(r);
                reportLeftOut();
            },
            progress);
    int counts[4] = {0, 0, 0, 0}; // OK, failed, cancelled, unchanged
    QJsonArray array;
    for (const PortResult& r : results) {
        ++counts[r.unchanged ? 3 : r.outcome.delivered() ? 0 : r.outcome.result == Result::Cancelled ? 2 : 1];
        QJsonObject entry = resultObject(r);
        if (books.describe)
            books.describe(r, entry);
        array.append(entry);
    }
    QJsonObject document{{"command", commandName(invocation)},
                         {"ports", array},
                         {"ok", counts[0]},
                         {"failed", counts[1]},
                         {"cancelled", counts[2]}};
    if (!books.unchanged.empty())
        document.insert("unchanged", counts[3]);
    for (auto it = books.document.begin(); it != books.document.end(); ++it)
        document.insert(it.key(), it.value());
    if (console.json())
        console.document(document);
    else if (results.size() > 1)
        console.line(
            QStringLiteral("%1 ports: %2 OK, %3 FAILED, %4 CANCELLED%5")
                .arg(results.size())
                .arg(counts[0])
                .arg(counts[1])
                .arg(counts[2])
                .arg(books.unchanged.empty() ? QString() : QStringLiteral(", %1 UNCHANGED").arg(counts[3])));
    return exitFor(counts[0] + counts[3] == int(results.size()));
}

// What the record holds of each setting named: its value, or null.
QJsonObject recordedValues(const ControlSnapshot& held,
                           const std::vector<std::pair<std::string, std::string>>& named)
{
    const auto heldList = sentChoices(held);
    const std::map<std::string, std::string> heldChoices(heldList.begin(), heldList.end());
    QJsonObject values;
    for (const auto& choice : named) {
        const auto it = heldChoices.find(choice.first);
        values.insert(QString::fromStdString(choice.first),
                      it == heldChoices.end() ? QJsonValue()
                                              : QJsonValue(QString::fromStdString(it->second)));
    }
    return values;
}

// store --dry-run --if-changed: the frames, and which ports would get them.
int reportDryRun(const FrameDecoding& decoding, Console& console, const Ports& ports,
                 const Bookkeeping& books)
{
    QJsonArray entries;
    QStringList lines;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        PortResult r = unchangedResult(ports[i]);
        r.unchanged = books.unchanged[i];
        QJsonObject entry{{"uri", r.uri}, {"outcome", r.unchanged ? "unchanged" : "wouldSend"}};
        if (books.describe)
            books.describe(r, entry);
        entries.append(entry);
        lines << (r.unchanged ? QStringLiteral("UNCHANGED ") : QStringLiteral("WOULD SEND ")) +
                     printable(r.uri);
    }
    QJsonObject more = books.document;
    more.insert("ports", entries);
    printDryRun(decoding, console, more);
    for (const QString& line : std::as_const(lines))
        if (!console.json())
            console.line(line);
    return Done;
}

// Checks the ports, then sends; a usage error sends nothing.
int transmitToPorts(const Invocation& invocation, Console& console, const Transmission& transmission)
{
    const auto ports = portsOf(invocation);
    if (const auto* error = std::get_if<UsageError>(&ports))
        return console.usage(error->command, error->message);
    return transmit(invocation, console, transmission, std::get<Ports>(ports));
}

// The KEY=VALUE choices of --from and of the arguments; an argument wins over a profile line
// with the same key.
std::variant<ControlSnapshot, QString> snapshotOf(const Invocation& invocation)
{
    std::vector<std::string> choices;
    for (const QString& word : invocation.arguments)
        choices.push_back(word.toStdString());
    if (invocation.isSet(options::from)) {
        const QString path = invocation.value(options::from);
        QString text;
        QString why;
        if (!readTextFile(path, &text, &why))
            return why;
        const auto lines = profileChoices(text.toStdString());
        if (const auto* error = std::get_if<ChoiceError>(&lines))
            return printable(path) + QStringLiteral(" ") + QString::fromStdString(error->message);
        if (std::get<std::vector<std::string>>(lines).empty())
            return printable(path) + QStringLiteral(" names no setting; ") +
                   QString::fromUtf8(kProfileForm.data(), qsizetype(kProfileForm.size()));
        std::set<std::string> given;
        for (const std::string& c : choices)
            given.insert(choiceKey(c));
        for (const std::string& line : std::get<std::vector<std::string>>(lines))
            if (!given.count(choiceKey(line)))
                choices.push_back(line);
    }
    auto snapshot = snapshotFromChoices(choices);
    if (const auto* error = std::get_if<ChoiceError>(&snapshot))
        return QString::fromStdString(error->message);
    return std::get<ControlSnapshot>(snapshot);
}

} // namespace

int runStore(const Invocation& invocation, Console& console)
{
    const QString command = commandName(invocation);
    const auto snapshot = snapshotOf(invocation);
    if (const auto* error = std::get_if<QString>(&snapshot))
        return console.usage(command, *error);
    const ControlSnapshot choices = std::get<ControlSnapshot>(snapshot);
    const bool dryRun = invocation.isSet(options::dryRun);
    const bool ifChanged = invocation.isSet(options::ifChanged);
    const auto frames = [&choices] {
        CollectingPort port;
        StoreSettings(port, choices);
        return decodeFrames(port.sent);
    };
    if (dryRun && !ifChanged) {
        printDryRun(frames(), console);
        return Done;
    }
    const auto named = portsOf(invocation);
    if (const auto* error = std::get_if<UsageError>(&named))
        return console.usage(error->command, error->message);
    const Ports& ports = std::get<Ports>(named);

    // What each port's record holds of the settings named, before this store: for --if-changed,
    // and for the JSON (naming the settings takes a decoding, which a plain store is spared).
    const bool describe = console.json();
    const auto sentNow = describe ? sentChoices(choices) : std::vector<std::pair<std::string, std::string>>();
    std::map<QString, QJsonObject> recorded;
    Bookkeeping books;
    QJsonObject settings;
    for (const auto& [key, value] : sentNow)
        settings.insert(QString::fromStdString(key), QString::fromStdString(value));
    if (describe)
        books.document.insert("settings", settings);
    for (const qbx::PortConfig& port : ports) {
        if (!describe && !ifChanged)
            break;
        QString warning;
        const ControlSnapshot held = qbx::StoreRecord(port).held(&warning);
        if (!warning.isEmpty() && dryRun) // else said with the port's line, as the store replaces it
            console.warn(command, warning);
        if (ifChanged)
            books.unchanged.push_back(holdsEvery(held, choices));
        if (describe)
            recorded[port.toUri()] = recordedValues(held, sentNow);
    }
    if (describe)
        books.describe = [&recorded](const PortResult& r, QJsonObject& entry) {
            entry.insert("recorded", recorded[r.uri]);
        };
    if (dryRun)
        return reportDryRun(frames(), console, ports, books);
    RecordKeeper keeper(command);
    books.reported = [&keeper, &console](const PortResult& r) { keeper.sayAbout(r, console); };
    return transmit(invocation, console, keeper.storing(choices), ports, books);
}

int runSelfTest(const Invocation& invocation, Console& console)
{
    return transmitToPorts(invocation, console, [](qbx::PortSession& port) { PrintSelfTestPage(port); });
}

int runSend(const Invocation& invocation, Console& console)
{
    const QString command = commandName(invocation);
    const QString path = invocation.arguments.first();
    const auto named = portsOf(invocation);
    if (const auto* error = std::get_if<UsageError>(&named))
        return console.usage(error->command, error->message);
    const Ports& ports = std::get<Ports>(named);
    // Asked before opening, since opening a pipe waits for its writer.
    struct stat status
    {
    };
    const bool exists = ::stat(qbx::encodePath(path).constData(), &status) == 0;
    if (ports.size() > 1 && exists && !S_ISREG(status.st_mode))
        return console.usage(
            command,
            QStringLiteral("%1 can be read only once, so it can go to one port only").arg(printable(path)));
    qbx::DataFileReader first;
    qbx::Problem why;
    if (!first.open(path, qbx::DataFileReader::Accept::AnyFile, &why))
        return console.usage(command, printable(why.text()));
    // What a data file does to a printer's settings cannot be told: its record forgets them.
    RecordKeeper keeper(command);
    Bookkeeping books;
    books.reported = [&keeper, &console](const PortResult& r) { keeper.sayAbout(r, console); };
    if (ports.size() == 1)
        return transmit(invocation, console,
                        keeper.sending([&first](qbx::PortSession& port) { first.sendTo(port); }), ports,
                        books);
    // Each port reads the file for itself, beside the others.
    return transmit(invocation, console, keeper.sending([path](qbx::PortSession& port) {
        qbx::DataFileReader file;
        qbx::Problem failure;
        if (file.open(path, qbx::DataFileReader::Accept::AnyFile, &failure)) {
            file.sendTo(port);
            return;
        }
        port.OpenPort();
        port.AbortPort(failure.text().toStdString());
    }),
                    ports, books);
}

} // namespace qbx::cli
