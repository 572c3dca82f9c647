#include "port/tcptransport.h"

#include "port/portconfig.h"
#include "port/portmessages.h"

#include <QDeadlineTimer>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qbx {
namespace {

// How often a wait looks for a cancel.
constexpr int kSliceMs = 100;
// What the printer sends back is of no use here; it is read only so that it does not pile up.
constexpr std::size_t kDiscardBuffer = 4096;

QString seconds(int ms)
{
    return QString::number(ms / 1000.0);
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

struct AddressListDeleter
{
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

QString checkPrinterOnline()
{
    return QStringLiteral("Check that the printer is on-line and has paper.");
}

} // namespace

TcpTransport::TcpTransport(QString host, quint16 port, PortTimeouts timeouts)
    : m_host(std::move(host))
    , m_port(port)
    , m_timeouts(timeouts)
{}

TcpTransport::~TcpTransport()
{
    closeSocket();
}

QString TcpTransport::name() const
{
    PortConfig config;
    config.kind = PortConfig::Kind::Tcp;
    config.host = m_host;
    config.tcpPort = m_port;
    return config.displayName();
}

void TcpTransport::closeSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

TcpTransport::Wait TcpTransport::waitFor(short events, int timeoutMs, short* revents)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (cancelRequested())
            return Wait::Cancelled;
        pollfd ready{m_fd, events, 0};
        const int slice = int(std::min<qint64>(kSliceMs, deadline.remainingTime()));
        const int n = ::poll(&ready, 1, slice);
        if (n < 0 && errno != EINTR)
            return Wait::Failed;
        if (n > 0) {
            *revents = ready.revents;
            return Wait::Ready;
        }
        if (deadline.hasExpired()) {
            *revents = 0;
            return Wait::Ready;
        }
    }
}

bool TcpTransport::open()
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // An address needs no look-up, nor the list of the machine's own addresses that
    // AI_ADDRCONFIG asks the kernel for.
    hints.ai_flags = AI_NUMERICHOST;
    const QByteArray host = m_host.toUtf8();
    const QByteArray service = QByteArray::number(m_port);
    addrinfo* found = nullptr;
    int lookup = ::getaddrinfo(host.constData(), service.constData(), &hints, &found);
    if (lookup == EAI_NONAME) {
        hints.ai_flags = AI_ADDRCONFIG;
        lookup = ::getaddrinfo(host.constData(), service.constData(), &hints, &found);
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> addresses(found);
    if (lookup == EAI_NONAME || lookup == EAI_NODATA || lookup == EAI_FAIL)
        return fail(TransmissionStage::Connecting,
                    {QStringLiteral("Cannot connect to %1: the host name is not known.").arg(name()),
                     QStringLiteral("Check the name in the port panel, or use the printer's IP address.")});
    if (lookup != 0)
        return fail(TransmissionStage::Connecting,
                    {QStringLiteral("Cannot connect to %1: the host name could not be looked up (%2).")
                         .arg(name(), QString::fromLocal8Bit(gai_strerror(lookup))),
                     QStringLiteral("Check the network connection and the name server, or use the printer's "
                                    "IP address.")});
    int error = ETIMEDOUT;
    for (const addrinfo* a = addresses.get(); a; a = a->ai_next) {
        if (connectTo(*a, &error))
            return true;
        if (error == ECANCELED)
            return cancelled(TransmissionStage::Connecting);
    }
    return failToConnect(error);
}

// One address, bounded by the connect time-out; *error says why it failed.
bool TcpTransport::connectTo(const addrinfo& address, int* error)
{
    closeSocket();
    m_fd =
        ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (m_fd < 0) {
        *error = errno;
        return false;
    }
    if (::connect(m_fd, address.ai_addr, address.ai_addrlen) == 0)
        return true;
    if (errno != EINPROGRESS) {
        *error = errno;
        closeSocket();
        return false;
    }
    short revents{};
    const Wait wait = waitFor(POLLOUT, m_timeouts.connectMs, &revents);
    int result = ETIMEDOUT;
    if (wait == Wait::Cancelled) {
        result = ECANCELED;
    } else if (wait == Wait::Failed) {
        result = errno;
    } else if (revents != 0) {
        socklen_t length = sizeof result;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &result, &length) != 0)
            result = errno;
    }
    if (result == 0)
        return true;
    *error = result;
    closeSocket();
    return false;
}

bool TcpTransport::failToConnect(int error)
{
    QString reason;
    QString todo = QStringLiteral("Check the address and the network connection.");
    switch (error) {
    case ECONNREFUSED:
        reason = QStringLiteral("connection refused");
        todo = QStringLiteral("Check the address and port, and that the printer is switched on.");
        break;
    case ETIMEDOUT:
        reason = QStringLiteral("no answer within %1 seconds").arg(seconds(m_timeouts.connectMs));
        todo =
            QStringLiteral("Check the address and the network cable, and that the printer is switched on.");
        break;
    case ENETUNREACH:
    case EHOSTUNREACH:
        reason = QStringLiteral("the network or host cannot be reached");
        break;
    default:
        reason = systemText(error);
        break;
    }
    return fail(TransmissionStage::Connecting,
                {QStringLiteral("Cannot connect to %1: %2.").arg(name(), reason), todo});
}

bool TcpTransport::failWithSocketError(TransmissionStage stage, int error)
{
    const QString during = stage == TransmissionStage::Sending
                               ? QStringLiteral("while the data was being sent")
                               : QStringLiteral("before it confirmed the end of the data");
    QString what;
    switch (error) {
    case 0:
        what = QStringLiteral("%1 closed the connection %2").arg(name(), during);
        break;
    case ECONNRESET:
    case EPIPE:
    case ENOTCONN: // what shutdown() says of a connection that was reset already
        what = QStringLiteral("%1 reset the connection %2").arg(name(), during);
        break;
    default:
        what = QStringLiteral("The connection to %1 failed %2: %3").arg(name(), during, systemText(error));
        break;
    }
    const qint64 missing = unacknowledged();
    const QString amount = missing > 0 ? QStringLiteral("%1 of the %2 sent were not acknowledged")
                                             .arg(sizeText(missing), sizeText(m_sent))
                                       : QStringLiteral("%1 were sent").arg(sizeText(m_sent));
    return fail(stage, {QStringLiteral("%1 (%2).").arg(what, amount), checkPrinterOnline()},
                m_sent > 0 ? PartialDelivery::Possible : PartialDelivery::No);
}

TcpTransport::Wait TcpTransport::pause(int ms)
{
    if (cancelRequested())
        return Wait::Cancelled;
    ::poll(nullptr, 0, ms);
    return cancelRequested() ? Wait::Cancelled : Wait::Ready;
}

int TcpTransport::pendingError() const
{
    int error{};
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

qint64 TcpTransport::unacknowledged() const
{
    int queued{};
    if (m_fd < 0 || ::ioctl(m_fd, SIOCOUTQ, &queued) != 0)
        return 0;
    return queued;
}

// Reads what the printer sent and drops it. False after a failure; an orderly close of the
// printer's side only sets m_peerClosed, which the sending stage takes as a failure.
bool TcpTransport::discardIncoming(TransmissionStage stage)
{
    std::array<char, kDiscardBuffer> sink{};
    for (;;) {
        const ssize_t n = ::recv(m_fd, sink.data(), sink.size(), MSG_DONTWAIT);
        if (n > 0)
            continue;
        if (n == 0) {
            m_peerClosed = true;
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) // also EWOULDBLOCK, the same number on Linux
            return true;
        return failWithSocketError(stage, errno);
    }
}

bool TcpTransport::write(QByteArrayView data)
{
    qsizetype done = 0;
    QDeadlineTimer stall(m_timeouts.writeStallMs);
    while (done < data.size()) {
        short revents{};
        const Wait wait = waitFor(POLLOUT | POLLIN, int(stall.remainingTime()), &revents);
        if (wait == Wait::Cancelled)
            return cancelled(TransmissionStage::Sending,
                             m_sent > 0 ? PartialDelivery::Possible : PartialDelivery::No);
        if (wait == Wait::Failed)
            return failWithSocketError(TransmissionStage::Sending, errno);
        if (revents & (POLLIN | POLLERR | POLLHUP)) {
            if (!discardIncoming(TransmissionStage::Sending))
                return false;
            if (m_peerClosed)
                return failWithSocketError(TransmissionStage::Sending, 0);
        }
        if (revents & POLLOUT) {
            const ssize_t n = ::send(m_fd, data.data() + done, std::size_t(data.size() - done),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += n;
                m_sent += n;
                stall.setRemainingTime(m_timeouts.writeStallMs);
                continue;
            }
            if (errno != EAGAIN && errno != EINTR) // n is -1: a send of some bytes never returns 0
                return failWithSocketError(TransmissionStage::Sending, errno);
        }
        if (stall.hasExpired())
            return fail(TransmissionStage::Sending,
                        {QStringLiteral("%1 took no data for %2 seconds (%3 sent).")
                             .arg(name(), seconds(m_timeouts.writeStallMs), sizeText(m_sent)),
                         checkPrinterOnline()},
                        m_sent > 0 ? PartialDelivery::Possible : PartialDelivery::No);
    }
    return true;
}

bool TcpTransport::finish()
{
    constexpr auto stage = TransmissionStage::Finishing;
    if (::shutdown(m_fd, SHUT_WR) != 0)
        return failWithSocketError(stage, errno);
    // While bytes are unacknowledged the stall bound applies, counted from the last progress;
    // once all are acknowledged, the printer has the drain time to close its side.
    qint64 pending = unacknowledged();
    QDeadlineTimer stall(m_timeouts.writeStallMs);
    QDeadlineTimer drain(QDeadlineTimer::Forever);
    for (;;) {
        if (pending == 0 && m_peerClosed)
            break;
        if (pending == 0 && drain.isForever())
            drain.setRemainingTime(m_timeouts.drainMs);
        if (pending == 0 && drain.hasExpired())
            break; // a printer that keeps the connection open has still acknowledged every byte
        const QDeadlineTimer& bound = pending > 0 ? stall : drain;
        // No event says that the last bytes (and the close) were acknowledged: while some are
        // not, the queue is looked at again after each slice.
        const int wanted =
            pending > 0 ? std::min(int(bound.remainingTime()), kSliceMs) : int(bound.remainingTime());
        // Once the printer has closed its side, the socket is readable for good: polling it
        // would spin, so the wait is a plain pause while the last bytes are acknowledged.
        short revents{};
        const Wait wait =
            m_peerClosed ? pause(std::min(wanted, kSliceMs)) : waitFor(POLLIN, wanted, &revents);
        if (wait == Wait::Cancelled)
            return cancelled(stage, PartialDelivery::Possible);
        if (wait == Wait::Failed)
            return failWithSocketError(stage, errno);
        if ((revents & (POLLIN | POLLERR | POLLHUP)) && !discardIncoming(stage))
            return false;
        if (const int error = pendingError(); error != 0)
            return failWithSocketError(stage, error);
        const qint64 now = unacknowledged();
        if (now < pending)
            stall.setRemainingTime(m_timeouts.writeStallMs);
        pending = now;
        if (pending > 0 && stall.hasExpired())
            return fail(
                stage,
                {QStringLiteral("%1 took no data for %2 seconds: %3 of the %4 sent were not "
                                "acknowledged.")
                     .arg(name(), seconds(m_timeouts.writeStallMs), sizeText(pending), sizeText(m_sent)),
                 checkPrinterOnline()},
                PartialDelivery::Possible);
    }
    // Status bytes left unread would make the close a reset, which the printer may take for a
    // broken job; and a reset that arrived with the close means bytes were dropped unread.
    if (!m_peerClosed && !discardIncoming(stage))
        return false;
    if (const int error = pendingError(); error != 0)
        return failWithSocketError(stage, error);
    closeSocket();
    return true;
}

void TcpTransport::abort()
{
    if (m_fd < 0)
        return;
    // A reset tells the printer at once that the data broke off, instead of leaving it waiting.
    const linger reset{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    closeSocket();
}

} // namespace qbx
