#include "transmission.h"

#include "reporter.h"

#include <QStringList>

#include <atomic>
#include <csignal>

namespace qbx::cli {
namespace {

std::atomic<bool> g_interrupted = false;
std::atomic<int> g_signal = 0;
static_assert(std::atomic<bool>::is_always_lock_free, "raised from a signal handler");

extern "C" void interrupt(int signal)
{
    g_signal = signal;
    g_interrupted = true;
}

// While transmissions run, SIGINT and SIGTERM cancel them (a print job is withdrawn, a
// temporary file removed) instead of killing the program halfway.
class InterruptGuard
{
public:
    InterruptGuard()
    {
        struct sigaction action
        {
        };
        action.sa_handler = interrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previousInt);
        sigaction(SIGTERM, &action, &m_previousTerm);
    }
    ~InterruptGuard()
    {
        sigaction(SIGINT, &m_previousInt, nullptr);
        sigaction(SIGTERM, &m_previousTerm, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction m_previousInt
    {
    };
    struct sigaction m_previousTerm
    {
    };
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
    TeskKit::SilentReporter reporter;
    TeskKit::PortSession session(reporter);
    session.LoadPortSettings(std::string(qbx::kPortSettingsKey));
    return {session.config()};
}

int interruptingSignal()
{
    return g_signal;
}

bool transmitToEach(const std::vector<TeskKit::PortConfig>& ports, const Transmission& transmission,
                    std::ostream& out, std::ostream& err)
{
    using Result = TeskKit::TransmissionOutcome::Result;
    const InterruptGuard guard;
    bool allDelivered = true;
    for (const TeskKit::PortConfig& port : ports) {
        const std::string uri = port.toUri().toStdString();
        if (g_interrupted) {
            out << "CANCELLED " << uri << ": not started\n";
            allDelivered = false;
            continue;
        }
        TeskKit::SilentReporter reporter;
        TeskKit::PortSession session(reporter);
        session.setCancelFlag(&g_interrupted);
        session.setConfig(port);
        transmission(session);
        const TeskKit::TransmissionOutcome& outcome = session.lastOutcome();
        switch (outcome.result) {
        case Result::Delivered:
            out << "OK " << uri << '\n';
            continue;
        case Result::Cancelled:
            out << "CANCELLED " << uri << '\n';
            break;
        case Result::Failed:
        case Result::None:
            out << "FAILED " << uri << ": "
                << firstLine(outcome.message.isEmpty()
                                 ? QStringLiteral("the port did not confirm the transmission")
                                 : outcome.message)
                       .toStdString()
                << '\n';
            break;
        }
        allDelivered = false;
        if (!outcome.message.isEmpty())
            err << "qbx7config: " << uri << ": "
                << (outcome.result == Result::Cancelled ? "cancelled while " : "failed while ")
                << TeskKit::stageName(outcome.stage).toStdString() << ": " << outcome.message.toStdString()
                << '\n';
    }
    out.flush();
    return allDelivered;
}

} // namespace qbx::cli
