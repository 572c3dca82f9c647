#pragma once

#include "port/problem.h"

#include <QString>
#include <QtGlobal>

namespace qbx {

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
    Problem problem; // names the port; empty when cancelled
    PartialDelivery partial = PartialDelivery::No;
    bool cancelled = false;
    QString note; // what abort() did about it
};

// What became of one transmission: the session records it, the panel shows it, the command line
// prints it.
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
    Problem problem;   // why it failed, or that it was cancelled; empty when delivered
    QString aftermath; // what was done about it: a job cancelled, a file kept as it was
    qint64 bytes = 0;  // handed to the port in this transmission
    PartialDelivery partial = PartialDelivery::No;

    bool delivered() const { return result == Result::Delivered; }
    // The whole message for the user, empty when delivered: the problem, what was done about it,
    // and, when the printer may hold part of the data, a paragraph on what to check.
    QString message() const;
};

// "sending", "finishing": the stage in words, for messages and machine-readable output.
QString stageName(TransmissionStage stage);

} // namespace qbx
