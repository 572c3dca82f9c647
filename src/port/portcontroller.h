#pragma once

#include "port/portsession.h"

#include <QObject>

#include <functional>
#include <memory>

class QThread;

namespace qbx {

// Runs whole transmissions, and port checks, on a thread of its own, so that a printer that
// stalls never stalls the window; says when one starts and how it ended by signals, and never
// waits for it. One thread for its whole life: a transport is created, used and destroyed on the
// same thread, as Qt's serial port requires. The thread starts with the first transmission.
//
// The session's configuration and time-outs are the caller's to change between transmissions,
// never during one (busy() tells).
class PortController final : public QObject
{
    Q_OBJECT

public:
    // One whole transmission: opening the port, the writes, closing it.
    using Transmission = std::function<void(qbx::StreamPort&)>;
    // What runs on the port's thread, as told to whoever shows the window held.
    enum class Work
    {
        Transmission,
        Check,
    };

    explicit PortController(QObject* parent = nullptr);
    // Cancels what runs and waits for its end.
    ~PortController() override;

    PortSession& session() { return m_session; }
    const PortSession& session() const { return m_session; }
    // Where transmissions go instead of the session, for tests of what a caller sends; nullptr
    // restores the session.
    void setPort(qbx::StreamPort* port) { m_port = port; }

    // From start until the signal that it ended has been sent.
    bool busy() const { return m_busy; }
    // Starts the transmission; false, and nothing started, while another transmission or check
    // runs. One that may change the printer's settings (all but a self-test page) makes the
    // printer's record, kept by the command line's store, forget them first.
    bool transmit(Transmission transmission, bool keepsSettings = false);
    // Starts other work on the port's thread, such as a check of the port, that the caller's
    // thread must not wait for; `done` runs on the caller's thread once it has ended. False, and
    // nothing started, while busy.
    bool runOnPort(std::function<void()> work, std::function<void()> done, Work kind = Work::Check);
    // Asks the running transmission to end as cancelled; safe at any time.
    void cancel() { m_session.requestCancel(); }

    // What the running transmission is doing; safe while it runs.
    TransmissionStatus status() const { return m_session.status(); }

signals:
    void started(qbx::PortController::Work work);
    // The transmission has ended; the outcome is the session's, or, when it went to another port,
    // delivered or failed as that port says.
    void transmitted(const qbx::TransmissionOutcome& outcome);

private:
    PortSession m_session;
    qbx::StreamPort* m_port = nullptr;
    bool m_busy = false;
    QThread* m_thread = nullptr;
    QObject* m_context = nullptr; // lives on the port's thread; work is queued to it
};

} // namespace qbx
