#pragma once

#include "port/transport.h"

#include <QElapsedTimer>
#include <QStringList>

#include <memory>
#include <optional>

// libcups names its message type this way; declared here to keep cups.h out of the header.
typedef struct _ipp_s ipp_t; // NOLINT(bugprone-reserved-identifier)

namespace qbx {

class CupsConnection;
struct CupsLibrary;
struct JobView;

// One raw job on a print queue of the system, through libcups: created at open(), streamed by
// write(), finished by finish(), which then follows the job until the queue has completed it.
// Every call to the print server is bounded by printServerMs and gives way to a cancel.
//
// Delivered means completed by the queue. A job the queue holds, or keeps back behind a stopped
// queue, is left there for the user to release (the message says how); a job the user cancels,
// or that breaks off before its document is whole, is cancelled.
class QueueTransport final : public Transport
{
public:
    QueueTransport(QString queue, PortTimeouts timeouts = {});
    ~QueueTransport() override;

    bool open() override;
    bool write(QByteArrayView data) override;
    bool finish() override;
    void abort() override;
    PartialDelivery deliveryIfAborted(qint64 written) const override;

private:
    bool createJob();
    bool startDocument();
    bool followJob();
    bool loseSightOfJob();
    std::optional<bool> judge(const JobView& job, bool pastDeadline);
    bool fetchJob(JobView* job);
    std::optional<bool> judgePending(const JobView& job);
    std::optional<bool> judgeUnreached(const JobView& job);
    PartialDelivery deliveryOf(const JobView& job);
    bool backendCountsOnConnecting();
    bool pauseBetweenLooks() const;
    bool cancelJob(int job, QString* why) const;

    bool accepted(ipp_t* answer, TransmissionStage stage, const QString& doing);
    bool failHttp(TransmissionStage stage, const QString& doing, int status);
    bool failCall(TransmissionStage stage, const QString& doing, const QString& reason = {});
    bool failRefused(TransmissionStage stage, const QString& doing, int status, const QString& text);
    bool leaveJob(const Problem& problem, PartialDelivery partial);
    bool failJobEnded(const Problem& problem, PartialDelivery partial);
    QString jobDoing(const char* action) const;

    QString m_queue;
    PortTimeouts m_timeouts;
    const CupsLibrary* m_cups = nullptr;
    std::unique_ptr<CupsConnection> m_connection;
    int m_job = 0;             // cancelled by abort(); 0 when there is none or it is left to the queue
    int m_jobId = 0;           // for messages, whatever became of the job
    bool m_documentIn = false; // the queue has the whole document and may start printing it
    QElapsedTimer m_printing;  // since the queue was first seen sending the job to its device
    std::optional<bool> m_countsOnConnecting; // see backendCountsOnConnecting(); asked once
};

// The names of the print queues the system offers, the default first; none when the print
// server cannot be reached or does not answer within a few seconds, and then *whyNone says so in
// a few words, for the panel's list (it stays empty when the server has no queue).
QStringList printQueueNames(QString* whyNone = nullptr);

} // namespace qbx
