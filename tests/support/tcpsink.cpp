#include "tcpsink.h"

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qbx::test {
namespace {

constexpr int kPollMs = 20;

bool readable(int fd)
{
    pollfd ready{fd, POLLIN, 0};
    return ::poll(&ready, 1, kPollMs) > 0;
}

} // namespace

TcpSink::TcpSink(Behaviour behaviour, qint64 closeAfter)
    : m_behaviour(behaviour)
    , m_closeAfter(closeAfter)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A small window makes the client stall after little data, not after megabytes, and keeps
    // little in flight beyond what the slow reader has taken.
    const bool takesLittle = behaviour == Behaviour::NeverRead || behaviour == Behaviour::HalfCloses;
    const int small = takesLittle ? 4096 : 65536;
    if (takesLittle || behaviour == Behaviour::ReadSlowly)
        ::setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener, behaviour == Behaviour::NeverAccepts ? 0 : 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return;
    }
    m_port = ntohs(address.sin_port);
    if (behaviour == Behaviour::NeverAccepts) { // the queue of a listen(0) takes one connection
        m_queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(m_queued, reinterpret_cast<sockaddr*>(&address), length);
    } else {
        m_thread = std::thread([this] { serve(); });
    }
}

TcpSink::~TcpSink()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (const int fd : {m_listener, m_queued})
        if (fd >= 0)
            ::close(fd);
}

QByteArray TcpSink::received() const
{
    const std::lock_guard lock(m_mutex);
    return m_received;
}

void TcpSink::serve()
{
    while (!m_stop) {
        const int connection =
            readable(m_listener) ? ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC) : -1;
        if (connection < 0)
            continue;
        ++m_connections;
        serveConnection(connection);
        if (m_behaviour == Behaviour::ResetAfter) {
            const linger reset{1, 0};
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        // Before the close, which the client may be waiting for: once it sees the close, the
        // sink has everything.
        m_done = true;
        ::close(connection);
    }
}

void TcpSink::serveConnection(int connection)
{
    char buffer[65536] = {};
    if (m_behaviour == Behaviour::HalfCloses) {
        ::usleep(10 * kPollMs * 1000);
        ::shutdown(connection, SHUT_WR);
        while (!m_stop)
            ::usleep(kPollMs * 1000);
        return;
    }
    const bool stopsEarly = m_behaviour == Behaviour::CloseAfter || m_behaviour == Behaviour::ResetAfter;
    while (!m_stop) {
        if (m_behaviour == Behaviour::FloodBack) // as a printer would, it waits until its words are taken
            ::send(connection, buffer, sizeof buffer, MSG_NOSIGNAL);
        if (m_behaviour == Behaviour::ReadSlowly || m_behaviour == Behaviour::NeverRead)
            ::usleep(kPollMs * 1000);
        if (m_behaviour == Behaviour::NeverRead || !readable(connection))
            continue;
        const qint64 wanted = stopsEarly ? std::min<qint64>(sizeof buffer, m_closeAfter - received().size())
                                         : qint64(sizeof buffer);
        const ssize_t n = ::recv(connection, buffer, size_t(wanted), 0);
        m_reset = n < 0 && errno == ECONNRESET;
        if (n <= 0) { // the client closed its side: the transmission is complete
            while (m_behaviour == Behaviour::KeepsOpen && !m_stop)
                ::usleep(kPollMs * 1000);
            return;
        }
        const std::lock_guard lock(m_mutex);
        m_received.append(buffer, n);
        if (stopsEarly && m_received.size() >= m_closeAfter)
            return;
    }
}

} // namespace qbx::test
