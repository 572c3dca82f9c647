#include "cli/fleet.h"

#include <QDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>

#include <sys/resource.h>

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
        g_interrupted = false;
        g_signal = 0;
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

// A worker holds its thread's wake-up descriptors (an eventfd, or a pipe: two), its port's socket
// or file and the temporary file or print server connection beside it: four at the most.
constexpr rlim_t kDescriptorsPerJob = 4;
// Kept free for what the program opens besides: libraries, the lists read, the saved choice.
constexpr rlim_t kDescriptorsKept = 32;

// How many transmissions at once the open-file limit allows. The soft limit is raised to the hard
// one first, as far as the system allows without asking: a thread that finds no descriptor for
// its wake-up would end the whole program, with the other ports' results unsaid.
int jobsTheDescriptorsAllow()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    const auto open = rlim_t(QDir(QStringLiteral("/proc/self/fd")).count());
    const rlim_t used = open + kDescriptorsKept;
    return limit.rlim_cur > used
               ? int(std::min<rlim_t>((limit.rlim_cur - used) / kDescriptorsPerJob + 1, kMaxJobs))
               : 1;
}

PortResult transmitTo(const qbx::PortConfig& port, const Transmission& transmission, ProgressLine& progress)
{
    PortResult result;
    result.uri = port.toUri();
    if (g_interrupted) {
        result.outcome.result = qbx::TransmissionOutcome::Result::Cancelled;
        return result;
    }
    qbx::PortSession session;
    session.setCancelFlag(&g_interrupted);
    session.setConfig(port);
    QElapsedTimer timer;
    timer.start();
    progress.started(session, result.uri);
    transmission(session);
    progress.finished(session);
    result.seconds = double(timer.nsecsElapsed()) / 1e9;
    result.outcome = session.lastOutcome();
    result.started = true;
    return result;
}

// The results as the workers finish them, handed on in the order of the ports.
class ResultQueue
{
public:
    explicit ResultQueue(std::size_t count)
        : m_results(count)
        , m_known(count, false)
    {}

    void put(std::size_t index, PortResult result)
    {
        const std::lock_guard lock(m_mutex);
        m_results[index] = std::move(result);
        m_known[index] = true;
        m_changed.notify_one();
    }

    // Waits for each result in turn and hands it to `ready` without holding the lock.
    std::vector<PortResult> inOrder(const std::function<void(const PortResult&)>& ready)
    {
        std::unique_lock lock(m_mutex);
        for (std::size_t next = 0; next < m_results.size(); ++next) {
            m_changed.wait(lock, [&] { return bool(m_known[next]); });
            const PortResult result = m_results[next];
            lock.unlock();
            ready(result);
            lock.lock();
        }
        return m_results;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<PortResult> m_results;
    std::vector<bool> m_known;
};

} // namespace

std::vector<PortResult> transmitToAll(const std::vector<qbx::PortConfig>& ports,
                                      const Transmission& transmission, int jobs,
                                      const std::function<void(const PortResult&)>& ready,
                                      ProgressLine& progress)
{
    const InterruptGuard guard;
    if (ports.size() == 1 || jobs == 1) {
        // On this thread: a signal then breaks off a read that waits for a silent pipe.
        std::vector<PortResult> results;
        for (const qbx::PortConfig& port : ports) {
            results.push_back(transmitTo(port, transmission, progress));
            ready(results.back());
        }
        return results;
    }
    ResultQueue queue(ports.size());
    std::atomic<std::size_t> next = 0;
    const auto work = [&] {
        for (std::size_t i = next++; i < ports.size(); i = next++)
            queue.put(i, transmitTo(ports[i], transmission, progress));
    };
    // Qt's threads, since a transport may watch its socket with Qt's help.
    std::vector<std::unique_ptr<QThread>> workers;
    const auto count =
        std::min({std::size_t(std::max(jobs, 1)), ports.size(), std::size_t(jobsTheDescriptorsAllow())});
    for (std::size_t w = 0; w < count; ++w) {
        workers.emplace_back(QThread::create(work));
        workers.back()->start();
    }
    std::vector<PortResult> results = queue.inOrder(ready);
    for (const auto& w : workers)
        w->wait();
    return results;
}

int interruptingSignal()
{
    return g_signal;
}

} // namespace qbx::cli
