#pragma once

#include "cli/progressline.h"
#include "port/portconfig.h"
#include "port/portsession.h"

#include <QElapsedTimer>

#include <functional>
#include <vector>

namespace qbx::cli {

inline constexpr int kDefaultJobs = 16;
inline constexpr int kMaxJobs = 256;

// One transmission (open, writes, close) on a port. It runs on a thread of its own, beside the
// transmissions to the other ports, so it must share nothing with them but what it only reads.
using Transmission = std::function<void(qbx::PortSession&)>;

struct PortResult
{
    QString uri;
    qbx::TransmissionOutcome outcome; // Result::Cancelled and started false: not tried
    bool started = false;
    double seconds = 0;
    bool unchanged = false; // store --if-changed: the port's record holds every value, nothing sent
};

// Runs the transmission on every port, at most `jobs` at a time, each in its own session.
// `ready` sees each result in the order of the ports as soon as it and all before it are
// known. SIGINT and SIGTERM cancel the running transmissions and leave the rest untried.
// `progress` hears of each session while it runs.
std::vector<PortResult> transmitToAll(const std::vector<qbx::PortConfig>& ports,
                                      const Transmission& transmission, int jobs,
                                      const std::function<void(const PortResult&)>& ready,
                                      ProgressLine& progress);

// The signal that interrupted transmitToAll, or 0.
int interruptingSignal();

} // namespace qbx::cli
