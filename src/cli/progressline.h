#pragma once

#include "port/portsession.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace qbx::cli {

// On a terminal, one line on standard error that says how the transmissions are going while
// they last, rewritten in place as curl, rsync and apt do: the port, its stage, how much of how
// much has gone and how fast; for several ports, how many are done. It appears once they have
// run for a second, and is cleared before a result line goes out.
class ProgressLine
{
public:
    // Shows nothing unless `shown`.
    ProgressLine(bool shown, std::size_t ports);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // A session while it runs, from any thread.
    void started(const qbx::PortSession& session, const QString& uri);
    void finished(const qbx::PortSession& session);

    // Clears the line, and keeps it clear while the lock is held, for a line of output.
    std::unique_lock<std::mutex> clearedForOutput();

private:
    struct Running
    {
        const qbx::PortSession* session;
        QString uri;
        std::chrono::steady_clock::time_point since;
    };

    void run();
    QString text() const;
    void show(const QString& text);

    const std::size_t m_ports;
    std::size_t m_done = 0;
    std::vector<Running> m_running;
    bool m_stopping = false;
    std::mutex m_mutex; // the sessions, the count and the stop request
    bool m_drawn = false;
    std::mutex m_terminal; // the line on the terminal, and m_drawn
    std::condition_variable m_wake;
    std::thread m_thread;
};

} // namespace qbx::cli
