#pragma once

#include "port/portconfig.h"
#include "port/transport.h"

#include <QSerialPort>
#include <QStringList>

namespace qbx {

// A printer on a serial line, at the configured speed, framing and flow control.
class SerialTransport final : public Transport
{
public:
    explicit SerialTransport(PortConfig config, PortTimeouts timeouts = {});

    bool open() override;
    bool write(QByteArrayView data) override;
    bool finish() override;
    void abort() override;
    PartialDelivery deliveryIfAborted(qint64 written) const override;

private:
    bool configure();
    bool lineKeepsSettings() const;
    bool flushDownTo(qint64 pending, TransmissionStage stage);
    bool drainLine();
    void waitForTransmitter();
    void closeKeepingSettings();
    bool failWithPortError(TransmissionStage stage);
    PartialDelivery partial() const;

    PortConfig m_config;
    PortTimeouts m_timeouts;
    QSerialPort m_port;
    qint64 m_queued = 0; // handed to the port in this transmission
};

// The transport as the serial module makes it; a program that links this file hands it to
// useLinkedSerialTransport.
Transport* newSerialTransport(const PortConfig& config, const PortTimeouts& timeouts);

// The serial lines the system knows of, as device paths ("/dev/ttyUSB0").
QStringList serialDeviceNames();

} // namespace qbx
