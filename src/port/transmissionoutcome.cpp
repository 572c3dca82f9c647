#include "port/transmissionoutcome.h"

namespace qbx {
namespace {

QString partialDeliveryAdvice(TransmissionOutcome::Result result)
{
    if (result == TransmissionOutcome::Result::Cancelled)
        return QStringLiteral("The printer may have received part of the data: check what it printed.");
    return QStringLiteral(
        "The printer may have received part of the data: check what it printed, then repeat "
        "the action once the problem is solved.");
}

} // namespace

QString TransmissionOutcome::message() const
{
    QString message = joinSentences(problem.text(), aftermath);
    if (partial == PartialDelivery::Possible && !message.isEmpty())
        message += QStringLiteral("\n\n") + partialDeliveryAdvice(result);
    return message;
}

QString stageName(TransmissionStage stage)
{
    switch (stage) {
    case TransmissionStage::Connecting:
        return QStringLiteral("opening the port");
    case TransmissionStage::Sending:
        return QStringLiteral("sending");
    case TransmissionStage::ReadingData:
        return QStringLiteral("reading the data file");
    case TransmissionStage::Finishing:
        return QStringLiteral("finishing");
    case TransmissionStage::FollowingJob:
        return QStringLiteral("following the job");
    }
    return {};
}

} // namespace qbx
