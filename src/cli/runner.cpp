#include "runner.h"

#include "catalogue.h"
#include "datafile.h"
#include "datafilereader.h"
#include "framedecoder.h"
#include "framereport.h"
#include "frames.h"
#include "helptexts.h"
#include "portsession.h"
#include "qbx7config_version.h"
#include "reporter.h"
#include "textforms.h"
#include "transmission.h"

#include <string>

namespace qbx::cli {
namespace {

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

int exitFor(bool succeeded)
{
    // Interrupted, the program ends as the shell expects of a signal it was sent.
    if (const int signal = interruptingSignal())
        return 128 + signal;
    return succeeded ? Done : PortFailed;
}

int listSettings(std::ostream& out)
{
    for (std::size_t step = 0; step < kSettingCount; ++step) {
        const Setting& s = catalogue()[step];
        out << s.key << "  " << s.label << '\n';
        for (std::size_t e = 0; e < s.entries.size(); ++e)
            out << "  #" << e << ' ' << s.entries[e].text << '\n';
        if (s.rule == Rule::CutOffset)
            out << "  MM: -10 to 31.75 mm, rounded to 0.25 mm; ticks \"Adjust Cut Position\"\n";
        if (s.rule == Rule::PresenterDelay)
            out << "  SECONDS: 0 to 127.5 s, rounded down to 0.5 s; chooses \"" << kCustomDelay << "\"\n";
    }
    return Done;
}

int store(const Request& request, std::ostream& out, std::ostream& err)
{
    if (request.dryRun) {
        CollectingPort port;
        StoreSettings(port, request.snapshot);
        printDryRun(decodeFrames(port.sent), out);
        return Done;
    }
    const auto transmission = [&request](TeskKit::PortSession& port) {
        StoreSettings(port, request.snapshot);
    };
    return exitFor(transmitToEach(portsOrSaved(request.ports), transmission, out, err));
}

int selfTest(const Request& request, std::ostream& out, std::ostream& err)
{
    const auto transmission = [](TeskKit::PortSession& port) { PrintSelfTestPage(port); };
    return exitFor(transmitToEach(portsOrSaved(request.ports), transmission, out, err));
}

int send(const Request& request, std::ostream& out, std::ostream& err)
{
    // Asked before opening, since opening a pipe waits for its writer.
    if (request.ports.size() > 1 && !DataFile::canBeSentAgain(request.file))
        return reportUsage(
            {QStringLiteral("send"),
             QStringLiteral("%1 can be read only once, so it can go to one port only").arg(request.file)},
            err);
    TeskKit::DataFileReader file;
    QString why;
    if (!file.open(request.file, TeskKit::DataFileReader::Accept::AnyFile, &why))
        return reportUsage({QStringLiteral("send"), why}, err);
    const auto transmission = [&file](TeskKit::PortSession& port) { file.sendTo(port); };
    return exitFor(transmitToEach(portsOrSaved(request.ports), transmission, out, err));
}

int decode(const Request& request, std::ostream& out, std::ostream& err)
{
    DataFile file;
    QString why;
    if (!file.open(request.file, &why))
        return reportUsage({QStringLiteral("decode"), why}, err);
    const QByteArray bytes = file.contents(&why);
    if (!why.isEmpty())
        return reportUsage({QStringLiteral("decode"), why}, err);
    printDecoding(decodeFrames(std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size()))), out);
    return Done;
}

int showPort(std::ostream& out)
{
    out << portsOrSaved({}).front().toUri().toStdString() << '\n';
    return Done;
}

// Reads the choice back, so that a configuration folder that cannot be written is not taken
// for a saved choice.
int setPort(const Request& request, std::ostream& out, std::ostream& err)
{
    TeskKit::SilentReporter reporter;
    TeskKit::PortSession session(reporter);
    session.setConfig(request.newPort);
    session.SavePortSettings(std::string(qbx::kPortSettingsKey));
    if (portsOrSaved({}).front() != request.newPort) {
        err << "qbx7config: the port choice could not be saved in "
            << TeskKit::PortSession::settingsFile(std::string(qbx::kPortSettingsKey)).toStdString() << '\n';
        return PortFailed;
    }
    out << request.newPort.toUri().toStdString() << '\n';
    return Done;
}

} // namespace

int reportUsage(const UsageError& error, std::ostream& err)
{
    const std::string who =
        error.command.isEmpty() ? "qbx7config" : "qbx7config " + error.command.toStdString();
    err << who << ": " << error.message.toStdString() << '\n' << "Try '" << who << " --help'.\n";
    return UsageFailed;
}

int perform(const Request& request, std::ostream& out, std::ostream& err)
{
    switch (request.command) {
    case Command::Help:
        out << helpText(request.helpTopic).toStdString();
        return Done;
    case Command::Version:
        out << "QBX7Config " << versionLine(version::Major, version::Minor, version::Revision) << '\n';
        return Done;
    case Command::Settings:
        return listSettings(out);
    case Command::Store:
        return store(request, out, err);
    case Command::SelfTest:
        return selfTest(request, out, err);
    case Command::Send:
        return send(request, out, err);
    case Command::Decode:
        return decode(request, out, err);
    case Command::ShowPort:
        return showPort(out);
    case Command::SetPort:
        return setPort(request, out, err);
    }
    return UsageFailed;
}

} // namespace qbx::cli
