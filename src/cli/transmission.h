#pragma once

#include "portconfig.h"
#include "portsession.h"

#include <functional>
#include <ostream>
#include <vector>

namespace qbx::cli {

// One transmission (open, writes, close) on a port.
using Transmission = std::function<void(TeskKit::PortSession&)>;

// The ports a request names, or the saved port choice when it names none.
std::vector<TeskKit::PortConfig> portsOrSaved(const std::vector<TeskKit::PortConfig>& named);

// Runs the transmission on each port in turn and prints, per port, one line on `out` from the
// outcome the port recorded: "OK URI", "FAILED URI: why" or "CANCELLED URI", with a failure's
// whole message on `err`. SIGINT and SIGTERM cancel the running transmission and skip the rest.
// Returns whether every port confirmed delivery.
bool transmitToEach(const std::vector<TeskKit::PortConfig>& ports, const Transmission& transmission,
                    std::ostream& out, std::ostream& err);

// The signal that interrupted transmitToEach, or 0.
int interruptingSignal();

} // namespace qbx::cli
