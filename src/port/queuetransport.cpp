#include "port/queuetransport.h"

#include "port/cupsconnection.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cstring>
#include <functional>

namespace qbx {
namespace {

const char* const kJobTitle = "QBX7Config";
// How often a job is looked at while the queue works on it: a Get-Job-Attributes costs the server
// next to nothing.
constexpr int kFollowPollMs = 200;
// The panel waits for the list without drawing: a server that keeps it longer is as good as none.
constexpr int kListingAnswerMs = 3000;
// How long, beyond the connect bound, a queue may try to reach its printer before the job is left
// to it: the device backends retry every five seconds.
constexpr int kReachingMarginMs = 5000;

QString seconds(int ms)
{
    return QString::number(ms / 1000.0);
}

} // namespace

// What the queue says of a job.
struct JobView
{
    bool known = false; // false: the queue no longer has the job
    ipp_jstate_t state = IPP_JSTATE_PENDING;
    QStringList reasons;
    QString printerMessage;
    int sheets = 0; // job-media-sheets-completed

    // " (job-hold-until-specified; Unable to connect)": why the job is in its state, as far as the
    // queue says.
    QString explanation() const
    {
        QStringList parts = reasons;
        if (!printerMessage.isEmpty())
            parts << withoutFinalStop(printerMessage);
        return parts.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(parts.join(QStringLiteral("; ")));
    }
};

QueueTransport::QueueTransport(QString queue, PortTimeouts timeouts)
    : m_queue(std::move(queue))
    , m_timeouts(timeouts)
{}

QueueTransport::~QueueTransport()
{
    abort();
}

bool QueueTransport::open()
{
    Problem why;
    m_cups = cupsLibrary(&why);
    if (!m_cups)
        return fail(
            TransmissionStage::Connecting,
            {QStringLiteral("The print queue '%1' cannot be used. %2").arg(m_queue, why.what), why.todo});
    m_connection = std::make_unique<CupsConnection>(*m_cups, m_timeouts.printServerMs,
                                                    [this] { return cancelRequested(); });
    if (!m_connection->open()) {
        if (cancelRequested())
            return cancelled(TransmissionStage::Connecting);
        return fail(TransmissionStage::Connecting,
                    {QStringLiteral("The print queue '%1' cannot be used: CUPS is not running or cannot be "
                                    "reached at %2.")
                         .arg(m_queue, m_connection->serverName()),
                     QStringLiteral("Start it with 'systemctl start cups', or check CUPS_SERVER and the "
                                    "ServerName in client.conf.")});
    }
    return createJob() && startDocument();
}

bool QueueTransport::createJob()
{
    ipp_t* request = newRequest(*m_cups, IPP_OP_CREATE_JOB, m_queue);
    m_cups->addString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, kJobTitle);
    const IppMessage answer = m_connection->call(request, printerResource(m_queue));
    const QString doing = QStringLiteral("creating the job");
    if (!accepted(answer.get(), TransmissionStage::Connecting, doing))
        return false;
    m_job = m_jobId = integerOf(*m_cups, answer.get(), "job-id", IPP_TAG_INTEGER);
    if (m_job <= 0)
        return failRefused(TransmissionStage::Connecting, doing, m_cups->statusCode(answer.get()),
                           QStringLiteral("the answer names no job"));
    return true;
}

bool QueueTransport::startDocument()
{
    m_connection->startCall();
    const http_status_t status = m_cups->startDocument(m_connection->http(), m_queue.toUtf8().constData(),
                                                       m_job, kJobTitle, CUPS_FORMAT_RAW, 1);
    return status == HTTP_STATUS_CONTINUE ||
           failHttp(TransmissionStage::Connecting, jobDoing("starting the document of"), status);
}

bool QueueTransport::write(QByteArrayView data)
{
    if (data.isEmpty())
        return true;
    if (cancelRequested())
        return cancelled(TransmissionStage::Sending);
    m_connection->startCall();
    const http_status_t status =
        m_cups->writeRequestData(m_connection->http(), data.data(), static_cast<size_t>(data.size()));
    return status == HTTP_STATUS_CONTINUE ||
           failHttp(TransmissionStage::Sending, jobDoing("sending the data of"), status);
}

bool QueueTransport::finish()
{
    m_connection->startCall();
    const IppMessage answer(m_cups->getResponse(m_connection->http(), printerResource(m_queue).constData()),
                            {m_cups->deleteMessage});
    if (!accepted(answer.get(), TransmissionStage::Finishing, jobDoing("finishing")))
        return false;
    m_documentIn = true;
    enterStage(TransmissionStage::FollowingJob);
    return followJob();
}

bool QueueTransport::followJob()
{
    const QDeadlineTimer deadline(m_timeouts.jobFollowMs);
    for (;;) {
        JobView job;
        if (!fetchJob(&job))
            return loseSightOfJob();
        if (const std::optional<bool> verdict = judge(job, deadline.hasExpired()))
            return *verdict || loseSightOfJob();
        if (!pauseBetweenLooks())
            return cancelled(TransmissionStage::FollowingJob, deliveryIfAborted(0));
    }
}

// The job went in whole: when the server stops telling what became of it, it is left to the queue
// rather than cancelled at an unknown point of its printing.
bool QueueTransport::loseSightOfJob()
{
    if (m_job == 0 || failure().cancelled)
        return false;
    m_job = 0;
    Problem lost = failure().problem;
    lost.todo = joinSentences(
        lost.todo, QStringLiteral("Job %1 went to the queue whole and may still print: see the queue "
                                  "with 'lpstat -o %2'; to remove the job: 'cancel %1'.")
                       .arg(m_jobId)
                       .arg(m_queue));
    return fail(TransmissionStage::FollowingJob, lost, PartialDelivery::Possible);
}

// True once the job is delivered, false once it failed, nothing while the queue still works on it.
std::optional<bool> QueueTransport::judge(const JobView& job, bool pastDeadline)
{
    if (!job.known)
        return failJobEnded({QStringLiteral("The print queue '%1' no longer knows job %2, so whether it "
                                            "printed cannot be told (the print server keeps no history of "
                                            "jobs).")
                                 .arg(m_queue)
                                 .arg(m_jobId),
                             QStringLiteral("Check what the printer printed.")},
                            PartialDelivery::Possible);
    switch (job.state) {
    case IPP_JSTATE_COMPLETED:
        m_job = 0;
        return true;
    case IPP_JSTATE_HELD:
        if (job.reasons.contains(QStringLiteral("job-incoming")))
            break;
        return leaveJob(
            {QStringLiteral("The print queue '%1' holds job %2 instead of printing it%3.")
                 .arg(m_queue)
                 .arg(m_jobId)
                 .arg(job.explanation()),
             QStringLiteral("The job stays in the queue: release it with 'lp -i %1 -H resume', or "
                            "remove it with 'cancel %1'.")
                 .arg(m_jobId)},
            PartialDelivery::No);
    case IPP_JSTATE_STOPPED:
        return leaveJob({QStringLiteral("The print queue '%1' stopped job %2 while printing it%3.")
                             .arg(m_queue)
                             .arg(m_jobId)
                             .arg(job.explanation()),
                         QStringLiteral("The job stays in the queue and goes on once the queue is enabled "
                                        "(with 'cupsenable %1'); to remove it instead: 'cancel %2'.")
                             .arg(m_queue)
                             .arg(m_jobId)},
                        deliveryOf(job));
    case IPP_JSTATE_ABORTED:
        return failJobEnded({QStringLiteral("The print queue '%1' aborted job %2%3.")
                                 .arg(m_queue)
                                 .arg(m_jobId)
                                 .arg(job.explanation()),
                             QStringLiteral("Check the printer and how the queue reaches it ('lpstat -l -p "
                                            "%1'), then repeat the action.")
                                 .arg(m_queue)},
                            deliveryOf(job));
    case IPP_JSTATE_CANCELED:
        return failJobEnded({QStringLiteral("Job %2 was cancelled in the print queue '%1' before it "
                                            "completed%3 (by a user, the administrator or the print server).")
                                 .arg(m_queue)
                                 .arg(m_jobId)
                                 .arg(job.explanation()),
                             QStringLiteral("Repeat the action if it should still print.")},
                            deliveryOf(job));
    case IPP_JSTATE_PENDING:
        if (const std::optional<bool> verdict = judgePending(job))
            return verdict;
        break;
    case IPP_JSTATE_PROCESSING:
        if (const std::optional<bool> verdict = judgeUnreached(job))
            return verdict;
        break;
    }
    if (!pastDeadline)
        return std::nullopt;
    // A job that waits or prints is the queue's ordinary business: it stays there, only the
    // confirmation is missing.
    if (job.state == IPP_JSTATE_PROCESSING)
        return leaveJob({QStringLiteral("The print queue '%1' is still sending job %2 to the printer after "
                                        "%3 s%4.")
                             .arg(m_queue)
                             .arg(m_jobId)
                             .arg(seconds(m_timeouts.jobFollowMs), job.explanation()),
                         QStringLiteral("The job stays in the queue: check that the printer is on, connected "
                                        "and has paper, and see the queue with 'lpstat -o %1'; to remove the "
                                        "job: 'cancel %2'.")
                             .arg(m_queue)
                             .arg(m_jobId)},
                        deliveryOf(job));
    return leaveJob(
        {QStringLiteral("Job %2 still waits in the print queue '%1' after %3 s%4.")
             .arg(m_queue)
             .arg(m_jobId)
             .arg(seconds(m_timeouts.jobFollowMs), job.explanation()),
         QStringLiteral("It stays in the queue and prints when the queue gets to it: see the queue "
                        "with 'lpstat -o %1'; to remove the job: 'cancel %2'.")
             .arg(m_queue)
             .arg(m_jobId)},
        PartialDelivery::No);
}

// A pending job on a stopped queue waits for a person, not for its turn.
std::optional<bool> QueueTransport::judgePending(const JobView& job)
{
    ipp_t* request = newRequest(*m_cups, IPP_OP_GET_PRINTER_ATTRIBUTES, m_queue);
    requestAttributes(*m_cups, request, {"printer-state", "printer-state-message"});
    const IppMessage answer = m_connection->call(request, printerResource(m_queue));
    if (!answer)
        return failCall(TransmissionStage::FollowingJob, jobDoing("following"));
    if (integerOf(*m_cups, answer.get(), "printer-state", IPP_TAG_ENUM) != IPP_PSTATE_STOPPED)
        return std::nullopt;
    const QString message = textOf(*m_cups, answer.get(), "printer-state-message", IPP_TAG_TEXT);
    return leaveJob(
        {QStringLiteral("The print queue '%1' is stopped%3: job %2 waits in it and does not print.")
             .arg(m_queue)
             .arg(m_jobId)
             .arg(message.isEmpty() ? job.explanation()
                                    : QStringLiteral(" (%1)").arg(withoutFinalStop(message))),
         QStringLiteral("The job stays in the queue and prints once the queue is enabled in the "
                        "print settings (or with 'cupsenable %1'); to remove it instead: "
                        "'cancel %2'.")
             .arg(m_queue)
             .arg(m_jobId)},
        PartialDelivery::No);
}

// A job the queue keeps trying to send to a printer it cannot reach waits for the printer, not
// for this program: it is left to the queue early, with the queue's own words for why.
std::optional<bool> QueueTransport::judgeUnreached(const JobView& job)
{
    if (!m_printing.isValid())
        m_printing.start();
    if (job.sheets > 0 || !m_printing.hasExpired(m_timeouts.connectMs + kReachingMarginMs) ||
        !backendCountsOnConnecting())
        return std::nullopt;
    return leaveJob(
        {QStringLiteral("The print queue '%1' cannot reach its printer%3: job %2 waits in it.")
             .arg(m_queue)
             .arg(m_jobId)
             .arg(job.printerMessage.isEmpty()
                      ? QString()
                      : QStringLiteral(" (%1)").arg(withoutFinalStop(job.printerMessage))),
         QStringLiteral("The job stays in the queue and prints once the printer can be reached: check that "
                        "it is on and connected, and how the queue reaches it ('lpstat -l -p %1'); to "
                        "remove the job: 'cancel %2'.")
             .arg(m_queue)
             .arg(m_jobId)},
        PartialDelivery::No);
}

// Whether the printer may hold part of the job, as far as the queue tells.
PartialDelivery QueueTransport::deliveryOf(const JobView& job)
{
    return job.sheets == 0 && backendCountsOnConnecting() ? PartialDelivery::No : PartialDelivery::Possible;
}

// CUPS's backends for a socket, USB, serial or parallel device count the job's first sheet as
// soon as they hold the device, before the first byte: for them, no sheet means nothing reached
// the printer. Other backends (IPP, LPD) count sheets only as the printer reports them.
bool QueueTransport::backendCountsOnConnecting()
{
    if (!m_countsOnConnecting) {
        ipp_t* request = newRequest(*m_cups, IPP_OP_GET_PRINTER_ATTRIBUTES, m_queue);
        requestAttributes(*m_cups, request, {"device-uri"});
        const IppMessage answer = m_connection->call(request, printerResource(m_queue));
        if (!answer)
            return false; // asked again at the next look
        const QString device = textOf(*m_cups, answer.get(), "device-uri", IPP_TAG_URI);
        const QString scheme = device.section(QLatin1Char(':'), 0, 0);
        m_countsOnConnecting = QStringList{"socket", "usb", "serial", "parallel"}.contains(scheme);
    }
    return *m_countsOnConnecting;
}

bool QueueTransport::fetchJob(JobView* job)
{
    ipp_t* request = newRequest(*m_cups, IPP_OP_GET_JOB_ATTRIBUTES, m_queue, m_jobId);
    requestAttributes(
        *m_cups, request,
        {"job-state", "job-state-reasons", "job-printer-state-message", "job-media-sheets-completed"});
    const IppMessage answer = m_connection->call(request, QByteArrayLiteral("/jobs/"));
    if (answer && m_cups->statusCode(answer.get()) == IPP_STATUS_ERROR_NOT_FOUND)
        return true; // job->known stays false
    if (!accepted(answer.get(), TransmissionStage::FollowingJob, jobDoing("following")))
        return false;
    job->known = true;
    job->state = ipp_jstate_t(integerOf(*m_cups, answer.get(), "job-state", IPP_TAG_ENUM));
    job->reasons = keywordsOf(*m_cups, answer.get(), "job-state-reasons");
    job->printerMessage = textOf(*m_cups, answer.get(), "job-printer-state-message", IPP_TAG_TEXT);
    job->sheets = integerOf(*m_cups, answer.get(), "job-media-sheets-completed", IPP_TAG_INTEGER);
    return true;
}

bool QueueTransport::pauseBetweenLooks() const
{
    QThread::msleep(kFollowPollMs);
    return !cancelRequested();
}

bool QueueTransport::leaveJob(const Problem& problem, PartialDelivery partial)
{
    m_job = 0;
    return fail(TransmissionStage::FollowingJob, problem, partial);
}

bool QueueTransport::failJobEnded(const Problem& problem, PartialDelivery partial)
{
    m_job = 0;
    return fail(TransmissionStage::FollowingJob, problem, partial);
}

QString QueueTransport::jobDoing(const char* action) const
{
    return QStringLiteral("%1 job %2").arg(QLatin1String(action)).arg(m_jobId);
}

// A call that got no answer: cancelled, kept waiting too long, or cut off. libcups' own last
// error may still be that of an earlier call, so the reason comes from the connection.
// Whether the server answered and took the request; else the failure says why.
bool QueueTransport::accepted(ipp_t* answer, TransmissionStage stage, const QString& doing)
{
    if (!answer)
        return failCall(stage, doing);
    const ipp_status_t status = m_cups->statusCode(answer);
    return status <= IPP_STATUS_OK_EVENTS_COMPLETE ||
           failRefused(stage, doing, status, textOf(*m_cups, answer, "status-message", IPP_TAG_TEXT));
}

bool QueueTransport::failHttp(TransmissionStage stage, const QString& doing, int status)
{
    return failCall(stage, doing,
                    status == HTTP_STATUS_ERROR ? QString() : QStringLiteral("HTTP status %1").arg(status));
}

bool QueueTransport::failCall(TransmissionStage stage, const QString& doing, const QString& reason)
{
    switch (m_connection->interruption()) {
    case CupsConnection::Interruption::Cancelled:
        return cancelled(stage, deliveryIfAborted(0));
    case CupsConnection::Interruption::NoAnswer:
        return fail(
            stage,
            {QStringLiteral("The print queue '%1' cannot be used: the print server at %2 does not "
                            "answer (nothing within %3 s while %4).")
                 .arg(m_queue, m_connection->serverName(), seconds(m_connection->answerMs()), doing),
             QStringLiteral("Check that CUPS works ('systemctl status cups'), then repeat the action.")});
    case CupsConnection::Interruption::None:
        break;
    }
    const int error = m_connection->errorNumber();
    const QString why = !reason.isEmpty() ? reason
                        : error != 0      ? QString::fromLocal8Bit(std::strerror(error))
                                          : QStringLiteral("the connection was closed");
    return fail(stage,
                {QStringLiteral("The print queue '%1': the print server at %2 broke off while %3 (%4).")
                     .arg(m_queue, m_connection->serverName(), doing, why),
                 QStringLiteral("Check that CUPS is running ('systemctl status cups'), then repeat the "
                                "action.")});
}

bool QueueTransport::failRefused(TransmissionStage stage, const QString& doing, int status,
                                 const QString& text)
{
    if (status == IPP_STATUS_ERROR_NOT_FOUND && stage == TransmissionStage::Connecting)
        return fail(stage,
                    {QStringLiteral("The print queue '%1' does not exist on the print server at %2.")
                         .arg(m_queue, m_connection->serverName()),
                     QStringLiteral("Choose another one in the port panel ('lpstat -p' lists the queues).")});
    if (status == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS)
        return fail(stage,
                    {QStringLiteral("The print queue '%1' does not accept jobs.").arg(m_queue),
                     QStringLiteral("Let it accept them in the print settings (or with 'cupsaccept %1').")
                         .arg(m_queue)});
    const QString keyword = QString::fromUtf8(m_cups->statusString(ipp_status_t(status)));
    return fail(
        stage,
        {QStringLiteral("The print queue '%1': the print server refused %2 (%3).")
             .arg(m_queue, doing, text.isEmpty() ? keyword : QStringLiteral("%1: %2").arg(keyword, text)),
         QStringLiteral("Check the queue and your right to print on it ('lpstat -l -p %1'), then "
                        "repeat the action.")
             .arg(m_queue)});
}

PartialDelivery QueueTransport::deliveryIfAborted(qint64 /*written*/) const
{
    // The queue spools a job whole and starts it only once its document is in.
    return m_documentIn ? PartialDelivery::Possible : PartialDelivery::No;
}

void QueueTransport::abort()
{
    // Dropping the connection first keeps a half-sent document from being taken as whole.
    m_connection.reset();
    if (m_job == 0)
        return;
    const int job = std::exchange(m_job, 0);
    QString why;
    if (cancelJob(job, &why))
        addToNote(QStringLiteral("Job %1 was cancelled.").arg(job));
    else
        addToNote(QStringLiteral("Job %1 could not be cancelled (%2): remove it with 'cancel %1'.")
                      .arg(job)
                      .arg(why));
}

// Over a fresh connection: the transmission's own may be stuck in the call that failed.
bool QueueTransport::cancelJob(int job, QString* why) const
{
    CupsConnection connection(*m_cups, m_timeouts.printServerMs);
    if (!connection.open()) {
        *why = QStringLiteral("the print server cannot be reached");
        return false;
    }
    const IppMessage answer =
        connection.call(newRequest(*m_cups, IPP_OP_CANCEL_JOB, m_queue, job), QByteArrayLiteral("/jobs/"));
    if (!answer) {
        *why = connection.interruption() == CupsConnection::Interruption::NoAnswer
                   ? QStringLiteral("the print server does not answer")
                   : QString::fromLocal8Bit(std::strerror(connection.errorNumber()));
        return false;
    }
    const ipp_status_t status = m_cups->statusCode(answer.get());
    *why = QString::fromUtf8(m_cups->statusString(status));
    return status <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

QStringList printQueueNames(QString* whyNone)
{
    const auto none = [whyNone](const char* why) {
        if (whyNone)
            *whyNone = QString::fromLatin1(why);
        return QStringList();
    };
    Problem why;
    const CupsLibrary* cups = cupsLibrary(&why);
    if (!cups)
        return none("libcups2 missing");
    CupsConnection connection(*cups, kListingAnswerMs);
    if (!connection.open())
        return none("CUPS not running");
    ipp_t* request = cups->newRequest(IPP_OP_CUPS_GET_PRINTERS);
    requestAttributes(*cups, request, {"printer-name"});
    const IppMessage answer = connection.call(request, QByteArrayLiteral("/"));
    if (!answer)
        return none("CUPS not answering");
    QStringList names;
    for (ipp_attribute_t* name = cups->findAttribute(answer.get(), "printer-name", IPP_TAG_NAME); name;
         name = cups->findNextAttribute(answer.get(), "printer-name", IPP_TAG_NAME))
        names << QString::fromUtf8(cups->string(name, 0, nullptr));
    connection.startCall();
    // The user's own choice (lpoptions, LPDEST) before the server's.
    if (const char* preferred = cups->getDefault(connection.http()))
        if (names.removeOne(QString::fromUtf8(preferred)))
            names.prepend(QString::fromUtf8(preferred));
    return names;
}

} // namespace qbx
