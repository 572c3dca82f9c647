#pragma once

#include <QString>
#include <QtGlobal>

namespace TeskKit {

// Where a transmission stood when it failed or was cancelled.
enum class TransmissionStage
{
    Connecting,   // opening the port: connecting, creating the job, opening the file
    Sending,      // the data going out
    ReadingData,  // the data file the bytes come from failed
    Finishing,    // the printer confirming the end: drain, close, rename, the job's upload
    FollowingJob, // a print queue processing the job it took
};

// Whether the printer may hold some of the data after a failure.
enum class PartialDelivery
{
    No,       // nothing reached it (a file kept as it was, a job cancelled before printing)
    Possible, // some bytes may have reached it
};

struct TransportFailure
{
    TransmissionStage stage = TransmissionStage::Connecting;
    QString message; // names the port, the reason and what to do
    PartialDelivery partial = PartialDelivery::No;
    bool cancelled = false;
    QString note; // what abort() did about it
};

// What became of one transmission: the session records it, the component reports it, the
// command line prints it.
struct TransmissionOutcome
{
    enum class Result
    {
        None, // no transmission yet
        Delivered,
        Failed,
        Cancelled,
    };

    Result result = Result::None;
    TransmissionStage stage = TransmissionStage::Connecting; // of a failure or cancel
    QString port;                                            // the port as the user knows it
    QString message;  // the whole message for the user, empty when delivered
    qint64 bytes = 0; // handed to the port in this transmission
    PartialDelivery partial = PartialDelivery::No;

    bool delivered() const { return result == Result::Delivered; }
};

// "sending", "finishing": the stage in words, for messages and machine-readable output.
QString stageName(TransmissionStage stage);

} // namespace TeskKit
