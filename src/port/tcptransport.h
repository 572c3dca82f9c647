#pragma once

#include "transport.h"

#include <QTcpSocket>

namespace TeskKit {

// A network printer's raw port (usually 9100). Every byte is written before finish() returns,
// and the connection is closed gently: the sending side is shut down first and whatever the
// printer still says is read until it closes, since printers drop the last bytes (the cut) of
// a connection that is reset too early.
class TcpTransport final : public Transport
{
public:
    TcpTransport(QString host, quint16 port, PortTimeouts timeouts = {});

    bool open() override;
    bool write(QByteArrayView data) override;
    bool finish() override;
    void abort() override;

private:
    bool flushDownTo(qint64 pending);
    bool failWithSocketError(const QString& action);
    QString name() const;

    QString m_host;
    quint16 m_port;
    PortTimeouts m_timeouts;
    QTcpSocket m_socket;
};

} // namespace TeskKit
