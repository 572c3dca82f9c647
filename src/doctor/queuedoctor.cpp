// The checks of a print queue: the print server answers, the queue exists, is enabled, accepts
// jobs and passes the bytes unchanged, and no job waits in it. No job is created.
#include "doctor/portdoctor.h"
#include "port/cupsconnection.h"

namespace qbx {
namespace {

// What CUPS calls a queue without a driver, whose jobs reach the device byte for byte.
const char* const kRawModel = "Local Raw Printer";

Finding noAnswer(const CupsConnection& connection, const QString& queue)
{
    if (connection.interruption() == CupsConnection::Interruption::NoAnswer)
        return Finding::blocker(
            QStringLiteral("The print server at %1 does not answer about the queue '%2' (nothing "
                           "within %3 s).")
                .arg(connection.serverName(), queue)
                .arg(connection.answerMs() / 1000.0),
            QStringLiteral("Check that CUPS works: 'systemctl status cups'."));
    return Finding::blocker(
        QStringLiteral("The print server at %1 broke off while asked about the queue '%2'.")
            .arg(connection.serverName(), queue),
        QStringLiteral("Check that CUPS is running: 'systemctl status cups'."));
}

Findings queueState(const CupsLibrary& cups, ipp_t* answer, const QString& queue)
{
    Findings findings;
    const QString message = textOf(cups, answer, "printer-state-message", IPP_TAG_TEXT);
    if (integerOf(cups, answer, "printer-state", IPP_TAG_ENUM) == IPP_PSTATE_STOPPED)
        findings << Finding::blocker(
            QStringLiteral("The print queue '%1' is stopped%2: its jobs wait and do not print.")
                .arg(queue,
                     message.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(withoutFinalStop(message))),
            QStringLiteral("cupsenable %1").arg(queue));
    else
        findings << Finding::ok(QStringLiteral("The print queue '%1' is enabled.").arg(queue));
    ipp_attribute_t* accepting = cups.findAttribute(answer, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    if (accepting && !cups.boolean(accepting, 0))
        findings << Finding::blocker(QStringLiteral("The print queue '%1' does not accept jobs.").arg(queue),
                                     QStringLiteral("cupsaccept %1").arg(queue));
    else
        findings << Finding::ok(QStringLiteral("The print queue '%1' accepts jobs.").arg(queue));
    const QString model = textOf(cups, answer, "printer-make-and-model", IPP_TAG_TEXT);
    if (model == QLatin1String(kRawModel))
        findings << Finding::ok(
            QStringLiteral("The print queue '%1' is raw: the bytes reach the printer unchanged.").arg(queue));
    else
        findings << Finding::warning(
            QStringLiteral("The print queue '%1' has a driver ('%2'), which may rewrite the printer "
                           "commands this program sends.")
                .arg(queue, model),
            QStringLiteral("Make it a raw queue: 'lpadmin -p %1 -m raw'; or reach the printer "
                           "directly, as a network printer or a device.")
                .arg(queue));
    return findings;
}

// The jobs the queue has not completed, held ones apart: they come before a new job, or never.
// `busyWith` is what the queue says while it works on the first of them ("The printer may not
// exist or is unavailable at this time."), which is often why they wait.
Findings waitingJobs(const CupsLibrary& cups, CupsConnection& connection, const QString& queue,
                     const QString& busyWith)
{
    ipp_t* request = newRequest(cups, IPP_OP_GET_JOBS, queue);
    cups.addString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
    requestAttributes(cups, request, {"job-id", "job-state"});
    const IppMessage answer = connection.call(request, QByteArrayLiteral("/"));
    if (!answer)
        return {noAnswer(connection, queue)};
    QStringList held;
    QStringList waiting;
    ipp_attribute_t* id = cups.findAttribute(answer.get(), "job-id", IPP_TAG_INTEGER);
    ipp_attribute_t* state = cups.findAttribute(answer.get(), "job-state", IPP_TAG_ENUM);
    for (; id && state; id = cups.findNextAttribute(answer.get(), "job-id", IPP_TAG_INTEGER),
                        state = cups.findNextAttribute(answer.get(), "job-state", IPP_TAG_ENUM))
        (cups.integer(state, 0) == IPP_JSTATE_HELD ? held : waiting) << QString::number(cups.integer(id, 0));
    Findings findings;
    if (!held.isEmpty())
        findings << Finding::warning(
            (held.size() == 1 ? QStringLiteral("The print queue '%1' holds job %2: a held job prints "
                                               "only once released.")
                              : QStringLiteral("The print queue '%1' holds jobs %2: held jobs print "
                                               "only once released."))
                .arg(queue, held.join(QStringLiteral(", "))),
            QStringLiteral("lp -i %1 -H resume (for each job), or remove every job: cancel -a %2")
                .arg(held.first(), queue));
    if (!waiting.isEmpty())
        findings << Finding::warning(
            (waiting.size() == 1 ? QStringLiteral("Job %2 waits in the print queue '%1'%3: a new job prints "
                                                  "after it.")
                                 : QStringLiteral("Jobs %2 wait in the print queue '%1'%3: a new job prints "
                                                  "after them."))
                .arg(queue, waiting.join(QStringLiteral(", ")),
                     busyWith.isEmpty() ? QString()
                                        : QStringLiteral(" (%1)").arg(withoutFinalStop(busyWith))),
            QStringLiteral("See the jobs with 'lpstat -o %1'; remove every job: cancel -a %1").arg(queue));
    if (findings.isEmpty())
        findings << Finding::ok(QStringLiteral("No job waits in the print queue '%1'.").arg(queue));
    return findings;
}

} // namespace

Findings checkPrintQueue(const QString& queue, const PortTimeouts& timeouts)
{
    Problem why;
    const CupsLibrary* cups = cupsLibrary(&why);
    if (!cups)
        return {Finding::blocker(why)};
    CupsConnection connection(*cups, timeouts.printServerMs);
    if (!connection.open())
        return {Finding::blocker(
            QStringLiteral("The print server at %1 cannot be reached, so the print queue '%2' cannot "
                           "be used.")
                .arg(connection.serverName(), queue),
            QStringLiteral("Start CUPS with 'sudo systemctl start cups', or check CUPS_SERVER and "
                           "the ServerName in /etc/cups/client.conf."))};
    ipp_t* request = newRequest(*cups, IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
    requestAttributes(
        *cups, request,
        {"printer-state", "printer-state-message", "printer-is-accepting-jobs", "printer-make-and-model"});
    const IppMessage answer = connection.call(request, printerResource(queue));
    if (!answer)
        return {noAnswer(connection, queue)};
    Findings findings{
        Finding::ok(QStringLiteral("The print server at %1 answers.").arg(connection.serverName()))};
    const ipp_status_t status = cups->statusCode(answer.get());
    if (status == IPP_STATUS_ERROR_NOT_FOUND)
        return findings << Finding::blocker(
                   QStringLiteral("The print queue '%1' does not exist on the print server.").arg(queue),
                   QStringLiteral(
                       "'lpstat -p' lists the queues; to add a raw queue for the printer: lpadmin -p "
                       "%1 -E -v DEVICE-URI -m raw")
                       .arg(queue));
    if (status > IPP_STATUS_OK_EVENTS_COMPLETE)
        return findings << Finding::blocker(
                   QStringLiteral("The print server refused to describe the queue '%1' (%2).")
                       .arg(queue, QString::fromUtf8(cups->statusString(status))),
                   QStringLiteral("Check your right to use it: 'lpstat -l -p %1'.").arg(queue));
    // An idle queue's message is left from its last job.
    const QString busyWith =
        integerOf(*cups, answer.get(), "printer-state", IPP_TAG_ENUM) == IPP_PSTATE_PROCESSING
            ? textOf(*cups, answer.get(), "printer-state-message", IPP_TAG_TEXT)
            : QString();
    return findings << queueState(*cups, answer.get(), queue)
                    << waitingJobs(*cups, connection, queue, busyWith);
}

} // namespace qbx
