#include "tcptransport.h"

#include "portconfig.h"

#include <QDeadlineTimer>

#include <sys/socket.h>

namespace TeskKit {
namespace {

// Enough queued data to keep the connection busy while the caller prepares the next write,
// without holding a whole data file in the socket's buffer.
constexpr qint64 kMaxQueued = qint64{256} * 1024;

QString seconds(int ms)
{
    return QString::number(ms / 1000.0);
}

} // namespace

TcpTransport::TcpTransport(QString host, quint16 port, PortTimeouts timeouts)
    : m_host(std::move(host))
    , m_port(port)
    , m_timeouts(timeouts)
{}

QString TcpTransport::name() const
{
    PortConfig config;
    config.kind = PortConfig::Kind::Tcp;
    config.host = m_host;
    config.tcpPort = m_port;
    return config.displayName();
}

bool TcpTransport::open()
{
    if (m_host.trimmed().isEmpty())
        return fail(TransmissionStage::Sending, QStringLiteral(
            "No network printer is chosen. Enter its host name or address in the port panel."));
    if (!isValidHost(m_host))
        return fail(TransmissionStage::Sending, QStringLiteral("'%1' is not a valid host name or address. Correct it in the port panel.")
                        .arg(m_host.left(80)));
    if (m_port == 0)
        return fail(TransmissionStage::Sending, 
            QStringLiteral("Port 0 is not a printer port. Use 9100 unless the printer says otherwise."));

    m_socket.connectToHost(m_host, m_port, QIODevice::ReadWrite);
    if (m_socket.waitForConnected(m_timeouts.connectMs))
        return true;
    switch (m_socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return fail(TransmissionStage::Sending, 
            QStringLiteral("Cannot connect to %1: connection refused. Check the address and port, and that "
                           "the printer is switched on.")
                .arg(name()));
    case QAbstractSocket::HostNotFoundError:
        return fail(TransmissionStage::Sending, QStringLiteral("Cannot connect to %1: the host name is not known.").arg(name()));
    case QAbstractSocket::SocketTimeoutError:
        m_socket.abort();
        return fail(TransmissionStage::Sending, 
            QStringLiteral("Cannot connect to %1: no answer within %2 seconds. Check the address and the "
                           "network cable, and that the printer is switched on.")
                .arg(name(), seconds(m_timeouts.connectMs)));
    default:
        return fail(TransmissionStage::Sending, QStringLiteral("Cannot connect to %1: %2").arg(name(), m_socket.errorString()));
    }
}

bool TcpTransport::failWithSocketError(const QString& action)
{
    if (m_socket.error() == QAbstractSocket::SocketTimeoutError)
        return fail(TransmissionStage::Sending, 
            QStringLiteral("%1 took no data for %2 seconds. Check that the printer is on-line and has "
                           "paper.")
                .arg(name(), seconds(m_timeouts.writeStallMs)));
    if (m_socket.error() == QAbstractSocket::RemoteHostClosedError ||
        m_socket.state() == QAbstractSocket::UnconnectedState)
        return fail(TransmissionStage::Sending, QStringLiteral("%1 closed the connection while %2.").arg(name(), action));
    return fail(TransmissionStage::Sending, QStringLiteral("%1: %2 failed: %3").arg(name(), action, m_socket.errorString()));
}

bool TcpTransport::flushDownTo(qint64 pending)
{
    while (m_socket.bytesToWrite() > pending) {
        // waitForBytesWritten returns as soon as some bytes went out, so its timeout bounds a
        // stall, not the whole transfer.
        if (!m_socket.waitForBytesWritten(m_timeouts.writeStallMs))
            return failWithSocketError(QStringLiteral("data was being sent"));
    }
    return true;
}

bool TcpTransport::write(QByteArrayView data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const qsizetype chunk = std::min<qsizetype>(data.size() - done, kMaxQueued);
        if (m_socket.write(data.data() + done, chunk) != chunk)
            return failWithSocketError(QStringLiteral("data was being sent"));
        done += chunk;
        if (!flushDownTo(kMaxQueued))
            return false;
    }
    return true;
}

bool TcpTransport::finish()
{
    if (!flushDownTo(0))
        return false;
    ::shutdown(static_cast<int>(m_socket.socketDescriptor()), SHUT_WR);
    const QDeadlineTimer deadline(m_timeouts.drainMs);
    while (m_socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        if (m_socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            m_socket.readAll(); // status bytes the printer sends back are of no use here
        else if (m_socket.error() != QAbstractSocket::SocketTimeoutError)
            break; // the printer closed its side: everything arrived
    }
    m_socket.abort();
    return true;
}

void TcpTransport::abort()
{
    m_socket.abort();
}

} // namespace TeskKit
