#include "queuetransport.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cups/cups.h>

#include <memory>
#include <optional>

namespace TeskKit {
namespace {

const char* const kJobTitle = "QBX7Config";

struct DestsDeleter
{
    int count;
    void operator()(cups_dest_t* dests) const { cupsFreeDests(count, dests); }
};

std::unique_ptr<cups_dest_t, DestsDeleter> namedDest(const QByteArray& name)
{
    return {cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr), DestsDeleter{1}};
}

std::optional<ipp_jstate_t> jobState(const QByteArray& queue, int job)
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.constData(), 0, CUPS_WHICHJOBS_ALL);
    std::optional<ipp_jstate_t> state;
    for (int i = 0; i < count; ++i)
        if (jobs[i].id == job)
            state = jobs[i].state;
    cupsFreeJobs(count, jobs);
    return state;
}

bool queueIsStopped(const QByteArray& queue)
{
    const auto dest = namedDest(queue);
    if (!dest)
        return false;
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    return state && QByteArray(state) == QByteArray::number(IPP_PSTATE_STOPPED);
}

} // namespace

QueueTransport::QueueTransport(QString queue, PortTimeouts timeouts)
    : m_queue(std::move(queue))
    , m_timeouts(timeouts)
{}

QueueTransport::~QueueTransport()
{
    abort();
}

bool QueueTransport::failWithCupsError(const QString& action)
{
    return fail(TransmissionStage::Sending, QStringLiteral("The print queue '%1': %2 failed: %3")
                    .arg(m_queue, action, QString::fromUtf8(cupsLastErrorString())));
}

bool QueueTransport::open()
{
    if (m_queue.isEmpty())
        return fail(TransmissionStage::Sending, QStringLiteral("No print queue is chosen. Choose one in the port panel."));
    const QByteArray queue = m_queue.toUtf8();
    if (!namedDest(queue)) {
        if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)
            return fail(TransmissionStage::Sending, 
                QStringLiteral("Cannot reach the print system for the queue '%1': %2. Check that CUPS is "
                               "running.")
                    .arg(m_queue, QString::fromUtf8(cupsLastErrorString())));
        return fail(TransmissionStage::Sending, 
            QStringLiteral("The print queue '%1' does not exist. Choose another one in the port panel.")
                .arg(m_queue));
    }
    // The document goes over a connection of its own, so that an aborted transmission can drop
    // it without submitting a half document, while the job is cancelled over the default one.
    m_http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
    if (!m_http)
        return failWithCupsError(QStringLiteral("connecting to the print system"));
    m_job = cupsCreateJob(m_http, queue.constData(), kJobTitle, 0, nullptr);
    if (m_job == 0)
        return failWithCupsError(QStringLiteral("creating the job"));
    if (cupsStartDocument(m_http, queue.constData(), m_job, kJobTitle, CUPS_FORMAT_RAW, 1) !=
        HTTP_STATUS_CONTINUE)
        return failWithCupsError(QStringLiteral("starting the job"));
    return true;
}

bool QueueTransport::write(QByteArrayView data)
{
    if (data.isEmpty())
        return true;
    if (cupsWriteRequestData(m_http, data.data(), static_cast<size_t>(data.size())) != HTTP_STATUS_CONTINUE)
        return failWithCupsError(QStringLiteral("sending the data"));
    return true;
}

bool QueueTransport::finish()
{
    if (cupsFinishDocument(m_http, m_queue.toUtf8().constData()) > IPP_STATUS_OK_EVENTS_COMPLETE)
        return failWithCupsError(QStringLiteral("finishing the job"));
    closeConnection();
    const bool takenUp = checkJobTakenUp();
    if (takenUp)
        m_job = 0; // the job is the queue's now: nothing to cancel
    return takenUp;
}

bool QueueTransport::checkJobTakenUp()
{
    const QByteArray queue = m_queue.toUtf8();
    const QDeadlineTimer deadline(m_timeouts.jobFollowMs);
    for (;;) {
        const auto state = jobState(queue, m_job);
        if (!state)
            return true; // already purged from the history: it ran
        switch (*state) {
        case IPP_JSTATE_COMPLETED:
        case IPP_JSTATE_PROCESSING:
            return true;
        case IPP_JSTATE_HELD:
            return fail(TransmissionStage::Sending, 
                QStringLiteral("The print queue '%1' holds job %2 instead of printing it. Release it in the "
                               "print settings (or with 'lp -i %2 -H resume'), or ask the administrator.")
                    .arg(m_queue)
                    .arg(m_job));
        case IPP_JSTATE_STOPPED:
        case IPP_JSTATE_ABORTED:
        case IPP_JSTATE_CANCELED:
            return fail(TransmissionStage::Sending, 
                QStringLiteral("The print queue '%1' stopped or cancelled job %2 instead of printing it. "
                               "Check the printer and the queue ('lpstat -p %1'), then repeat the action.")
                    .arg(m_queue)
                    .arg(m_job));
        case IPP_JSTATE_PENDING:
            if (queueIsStopped(queue))
                return fail(TransmissionStage::Sending, 
                    QStringLiteral("The print queue '%1' is stopped: job %2 waits and will not print. Enable "
                                   "the queue in the print settings (or with 'cupsenable %1').")
                        .arg(m_queue)
                        .arg(m_job));
            if (deadline.hasExpired())
                return true; // waiting behind other jobs is the queue's ordinary business
            break;
        }
        QThread::msleep(50);
    }
}

void QueueTransport::abort()
{
    const QByteArray queue = m_queue.toUtf8();
    closeConnection();
    if (m_job != 0)
        cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.constData(), m_job, 0);
    m_job = 0;
}

void QueueTransport::closeConnection()
{
    if (m_http)
        httpClose(m_http);
    m_http = nullptr;
}

QStringList printQueueNames()
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        if (dests[i].instance)
            continue;
        const QString name = QString::fromUtf8(dests[i].name);
        if (dests[i].is_default)
            names.prepend(name);
        else
            names.append(name);
    }
    cupsFreeDests(count, dests);
    return names;
}

} // namespace TeskKit
