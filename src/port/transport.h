#pragma once

#include "port/transmissionoutcome.h"

#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <optional>

namespace qbx {

// How long a transport waits for a port that does not answer. The defaults suit real printers;
// tests shorten them to keep their run time bounded.
struct PortTimeouts
{
    int connectMs = 5000;      // a network printer accepting the connection, per address
    int writeStallMs = 10000;  // a write making no progress at all (a stalled printer or line)
    int drainMs = 2000;        // a network printer closing its side once every byte is acknowledged
    int deviceOpenMs = 3000;   // a FIFO getting a reader
    int printServerMs = 30000; // one answer of the print server (CUPS)
    int jobFollowMs = 60000;   // a print queue completing a job it has taken
};

// One way of reaching a printer. A transmission is open(), write() as often as needed, then
// finish() when everything went out, or abort() after a failure or a cancel. Each call reports
// failure by returning false, with failure() saying at which stage, the problem (naming the port,
// with what the user can do about it) and whether the printer may hold part of the data.
//
// A transport that waits checks cancelRequested() at least every few tenths of a second and
// then fails with cancelled().
class Transport
{
public:
    virtual ~Transport() = default;

    virtual bool open() = 0;
    virtual bool write(QByteArrayView data) = 0;
    // Completes the transmission: true only when the printer has confirmably got every byte
    // (what that means differs per kind of port, see each transport).
    virtual bool finish() = 0;
    // Ends a failed or cancelled transmission without completing it (removes temporary files,
    // cancels jobs). Says, through failure().note, what it did where the user must know it.
    virtual void abort() = 0;

    const TransportFailure& failure() const { return m_failure; }

    // Copies up to `length` bytes from the file descriptor's offset inside the kernel, without
    // passing them through this process. Returns the bytes copied (0 at the source's end), -1
    // after a failure, or nullopt where this port cannot copy so (the caller then writes).
    virtual std::optional<qint64> copyFrom(int source, qint64 length)
    {
        Q_UNUSED(source);
        Q_UNUSED(length);
        return std::nullopt;
    }

    // Whether the printer may hold part of the data when a transmission of `written` bytes is
    // aborted now; a transport that keeps everything back until finish() says No.
    virtual PartialDelivery deliveryIfAborted(qint64 written) const
    {
        return written > 0 ? PartialDelivery::Possible : PartialDelivery::No;
    }

    // Set by the session: a flag that another thread or a signal handler may raise.
    void setCancelFlag(const std::atomic<bool>* flag) { m_cancelFlag = flag; }
    // Set by the session: where the transport says what it is waiting for, for a progress display
    // on another thread.
    void setStageReport(std::atomic<TransmissionStage>* stage) { m_stage = stage; }

protected:
    bool fail(TransmissionStage stage, const Problem& problem, PartialDelivery partial = PartialDelivery::No)
    {
        m_failure.stage = stage;
        m_failure.problem = problem;
        m_failure.partial = partial;
        m_failure.cancelled = false;
        return false;
    }
    bool cancelRequested() const { return m_cancelFlag && m_cancelFlag->load(std::memory_order_relaxed); }
    // The failure to return once cancelRequested() is seen.
    bool cancelled(TransmissionStage stage, PartialDelivery partial = PartialDelivery::No)
    {
        m_failure.stage = stage;
        m_failure.problem = {};
        m_failure.partial = partial;
        m_failure.cancelled = true;
        return false;
    }
    void enterStage(TransmissionStage stage)
    {
        if (m_stage)
            m_stage->store(stage, std::memory_order_relaxed);
    }
    // Lets abort() say what it did (a job it cancelled, a file it kept); the session puts it
    // after the problem.
    void addToNote(const QString& text) { m_failure.note = joinSentences(m_failure.note, text); }

private:
    TransportFailure m_failure;
    const std::atomic<bool>* m_cancelFlag = nullptr;
    std::atomic<TransmissionStage>* m_stage = nullptr;
};

} // namespace qbx
