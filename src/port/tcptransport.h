#pragma once

#include "port/transport.h"

struct addrinfo;

namespace qbx {

// A network printer's raw port (usually 9100), over a plain socket.
//
// Delivered means: every byte was sent, the sending side was shut down, and the printer's TCP
// acknowledged every byte without resetting the connection; the printer then closes its side
// (or, if it keeps the connection open, the drain time passes with nothing left unacknowledged).
// Printers drop the last bytes (the cut) of a connection that is reset too early, so the end is
// never forced while bytes are in flight. Whatever the printer sends back is read and discarded
// through a small fixed buffer, so a chatty printer can neither stall the writes nor fill memory.
class TcpTransport final : public Transport
{
public:
    TcpTransport(QString host, quint16 port, PortTimeouts timeouts = {});
    ~TcpTransport() override;
    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    bool open() override;
    bool write(QByteArrayView data) override;
    bool finish() override;
    void abort() override;

private:
    enum class Wait
    {
        Ready,
        Cancelled,
        Failed,
    };

    bool connectTo(const addrinfo& address, int* error);
    bool failToConnect(int error);
    Wait waitFor(short events, int timeoutMs, short* revents);
    Wait pause(int ms);
    int pendingError() const;
    bool discardIncoming(TransmissionStage stage);
    bool failWithSocketError(TransmissionStage stage, int error);
    qint64 unacknowledged() const;
    QString name() const;
    void closeSocket();

    QString m_host;
    quint16 m_port;
    PortTimeouts m_timeouts;
    int m_fd = -1;
    qint64 m_sent = 0;
    bool m_peerClosed = false;
};

} // namespace qbx
