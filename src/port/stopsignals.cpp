#include "port/stopsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace qbx {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Written by the handler, read by the event loop: the one thing a handler may safely do.
int g_pipe[2] = {-1, -1};

extern "C" void wakeEventLoop(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
}

// What handled the signals before, given back when the event loop no longer takes them.
struct sigaction g_previous[std::size(kStopSignals)];

void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = wakeEventLoop;
    ::sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &action, &g_previous[i]);
}

} // namespace

StopSignals::StopSignals()
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char drained[16];
        while (::read(g_pipe[0], drained, sizeof drained) > 0) {
        }
        Q_EMIT requested();
    });
    catchStopSignals();
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &g_previous[i], nullptr);
}

} // namespace qbx
