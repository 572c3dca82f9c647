#pragma once

#include "port/portconfig.h"
#include "port/printerport.h"
#include "port/transmissionoutcome.h"
#include "port/transport.h"

#include <atomic>
#include <functional>
#include <memory>

namespace qbx {

// What a transmission is doing at this moment, read by a progress display on another thread.
struct TransmissionStatus
{
    TransmissionStage stage = TransmissionStage::Connecting;
    qint64 done = 0;  // bytes handed to the port so far
    qint64 total = 0; // of the whole transmission, where the caller said it in advance; else 0
};

// The five port operations over the configured transport, without any widget: the core of the
// port component, used by the panel and by the command line alike.
//
// Each transmission ends in one outcome (delivered, failed or cancelled), which the session keeps
// for its caller to show. After a failure the remaining writes are dropped and ClosePort only
// cleans up.
class PortSession : public qbx::StreamPort
{
public:
    using TransportFactory = std::function<std::unique_ptr<Transport>(const PortConfig&)>;

    // Without a factory the session builds the real transport for its configuration.
    explicit PortSession(TransportFactory factory = {});
    ~PortSession() override;

    void OpenPort() override;
    // A transmission that ends before it began, for a reason of the caller's: the port is never
    // opened, and the outcome fails while connecting with `problem`.
    void refuse(const Problem& problem);
    void WritePort(std::string_view bytes) override;
    void ClosePort() override;
    bool PortFailed() const override;
    void AbortPort(const std::string& reason) override;
    std::optional<std::int64_t> CopyFromFile(int fd, std::int64_t length) override;
    void ExpectBytes(std::int64_t total) override { m_expected = total; }
    void LoadPortSettings(const std::string& key) override;
    void SavePortSettings(const std::string& key) override;

    const PortConfig& config() const { return m_config; }
    void setConfig(const PortConfig& config) { m_config = config; }

    const PortTimeouts& timeouts() const { return m_timeouts; }
    void setTimeouts(const PortTimeouts& timeouts) { m_timeouts = timeouts; }

    // Safe to call from another thread while the transmission runs.
    TransmissionStatus status() const;

    // What became of the last transmission (Result::None before the first one).
    const TransmissionOutcome& lastOutcome() const { return m_outcome; }
    // Why the last SavePortSettings did not keep the port choice; empty when it did.
    const Problem& savingProblem() const { return m_savingProblem; }

    // Cancels the running transmission: safe from another thread and from a signal handler when
    // the flag is lock-free. The next OpenPort starts afresh.
    void requestCancel() { m_cancelFlag->store(true); }
    bool cancelRequested() const { return m_cancelFlag->load(); }
    // Replaces the session's own cancel flag, for a flag shared with a signal handler.
    void setCancelFlag(std::atomic<bool>* flag) { m_cancelFlag = flag ? flag : &m_ownCancel; }

    // The transport for a configuration; the one place that knows every kind of port.
    static std::unique_ptr<Transport> makeTransport(const PortConfig& config);
    static std::unique_ptr<Transport> makeTransportWithTimeouts(const PortConfig& config,
                                                                const PortTimeouts& timeouts);

    // The file in which settings saved under the key are kept.
    static QString settingsFile(const std::string& key);

private:
    // Ends the transmission with the failure; `aftermath` says what became of it beyond what the
    // transport says.
    void beginTransmission();
    void failTransmission(const TransportFailure& failure, const QString& aftermath = {});
    void countSent(qint64 bytes);
    void writeNow(std::string_view bytes);
    bool sendGathered();

    TransportFactory m_factory;
    PortConfig m_config = PortConfig::defaults();
    PortTimeouts m_timeouts;
    std::unique_ptr<Transport> m_transport;
    bool m_failed = false;
    TransmissionOutcome m_outcome;
    Problem m_savingProblem;
    QByteArray m_gathered; // small writes not yet handed to the transport
    // Mirrors of the outcome's progress that another thread may read while the transmission runs.
    std::atomic<TransmissionStage> m_stage = TransmissionStage::Connecting;
    std::atomic<qint64> m_sent = 0;
    std::atomic<qint64> m_expected = 0; // of the whole transmission, when the caller said it
    std::atomic<bool> m_ownCancel = false;
    std::atomic<bool>* m_cancelFlag = &m_ownCancel;
};

} // namespace qbx
