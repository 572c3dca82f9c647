#pragma once

#include "portconfig.h"
#include "printerport.h"

#include <QString>

#include <functional>
#include <ostream>
#include <vector>

namespace qbx::cli {

// One transmission (open, writes, close) on a port. Returns an empty text, or why the data it
// sends could not be read completely; the port then reports failure too.
using Transmission = std::function<QString(qbx::PrinterPort&)>;

// The settings key under which the window and the command line keep the port choice.
inline constexpr const char* kPortSettingsKey = "TeskQBX7Conf_Comm";

// The ports a request names, or the saved port choice when it names none.
std::vector<TeskKit::PortConfig> portsOrSaved(const std::vector<TeskKit::PortConfig>& named);

// Runs the transmission on each port in turn. For each, one line on `out`: "OK URI", or
// "FAILED URI: why" with the port's whole message on `err`. Returns whether every port
// received the transmission whole.
bool transmitToEach(const std::vector<TeskKit::PortConfig>& ports, const Transmission& transmission,
                    std::ostream& out, std::ostream& err);

} // namespace qbx::cli
