#pragma once

#include <QByteArray>

#include <atomic>
#include <mutex>
#include <thread>

namespace qbx::test {

// A printer stand-in on a loopback TCP port, served from its own thread so that the blocking
// transport under test can talk to it. It takes one connection and then, depending on its
// behaviour, reads everything until the client closes its side (quickly, slowly, or while
// flooding the client with data of its own), closes or resets after some bytes, accepts and
// never reads (and may close its sending side), or never completes a connection (its queue of
// them is full with one of its own).
class TcpSink
{
public:
    enum class Behaviour
    {
        ReadAll,
        CloseAfter,
        NeverRead,
        ResetAfter,
        ReadSlowly,
        FloodBack,
        NeverAccepts,
        KeepsOpen,  // reads everything, and keeps its side open until the sink ends
        HalfCloses, // reads nothing, and soon closes its sending side only: what waits stays unread
    };

    explicit TcpSink(Behaviour behaviour = Behaviour::ReadAll, qint64 closeAfter = 0);
    ~TcpSink();
    TcpSink(const TcpSink&) = delete;
    TcpSink& operator=(const TcpSink&) = delete;

    quint16 port() const { return m_port; }

    // Whether a connection has ended (the client closed, or the sink did).
    bool done() const { return m_done; }
    int connections() const { return m_connections; }
    // Whether the client ended the connection with a reset, as an abort does, not with a close.
    bool wasReset() const { return m_reset; }
    QByteArray received() const;

private:
    void serve();
    void serveConnection(int connection);

    Behaviour m_behaviour;
    qint64 m_closeAfter;
    int m_listener = -1;
    int m_queued = -1; // the connection that fills the queue, for NeverAccepts
    quint16 m_port = 0;
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_done = false;
    std::atomic<int> m_connections = 0;
    std::atomic<bool> m_reset = false;
    mutable std::mutex m_mutex;
    QByteArray m_received;
    std::thread m_thread;
};

} // namespace qbx::test
