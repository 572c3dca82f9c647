#include "port/transmissionoutcome.h"

namespace TeskKit {

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

} // namespace TeskKit
