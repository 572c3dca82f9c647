#pragma once

#include "portconfig.h"
#include "printerport.h"
#include "transport.h"

#include <functional>
#include <memory>

namespace TeskKit {

class Reporter;
class TransmissionMonitor;

// The five port operations over the configured transport, without any widget: the core of the
// port component, used by the panel and by the command line alike.
//
// Failures are reported once per transmission through the reporter, naming the port; after the
// first one the remaining writes are dropped and ClosePort cleans up.
class PortSession : public qbx::PrinterPort
{
public:
    using TransportFactory = std::function<std::unique_ptr<Transport>(const PortConfig&)>;

    // Without a factory the session builds the real transport for its configuration.
    explicit PortSession(Reporter& reporter, TransportFactory factory = {});
    ~PortSession() override;

    void OpenPort() override;
    void WritePort(std::string_view bytes) override;
    void ClosePort() override;
    void LoadPortSettings(const std::string& key) override;
    void SavePortSettings(const std::string& key) override;

    const PortConfig& config() const { return m_config; }
    void setConfig(const PortConfig& config) { m_config = config; }

    const PortTimeouts& timeouts() const { return m_timeouts; }
    void setTimeouts(const PortTimeouts& timeouts) { m_timeouts = timeouts; }

    // Shown each transmission's progress, and may cancel it; nullptr for none.
    void setMonitor(TransmissionMonitor* monitor) { m_monitor = monitor; }

    // Whether the last transmission reached the port whole (false after any reported failure).
    bool lastTransmissionSucceeded() const { return m_succeeded; }

    // The transport for a configuration; the one place that knows every kind of port.
    static std::unique_ptr<Transport> makeTransport(const PortConfig& config);
    static std::unique_ptr<Transport> makeTransportWithTimeouts(const PortConfig& config,
                                                                const PortTimeouts& timeouts);

    // The file in which settings saved under the key are kept.
    static QString settingsFile(const std::string& key);

private:
    void failTransmission(const QString& reason);
    void endTransmission();

    Reporter& m_reporter;
    TransportFactory m_factory;
    PortConfig m_config = PortConfig::defaults();
    PortTimeouts m_timeouts;
    TransmissionMonitor* m_monitor = nullptr;
    std::unique_ptr<Transport> m_transport;
    bool m_failed = false;
    bool m_succeeded = false;
    qint64 m_written = 0;
};

} // namespace TeskKit
