#pragma once

#include "port/portconfig.h"
#include "port/problem.h"

#include <QString>

namespace qbx {

// Why an operating-system call on a device node, FIFO or serial line failed, with what the user
// can do about it where the cause is known on Linux.
Problem deviceProblem(const QString& device, int errorNumber);

// An amount of data as a person reads it: "512 bytes", "1.5 KB", "2.0 MB".
QString sizeText(qint64 bytes);

// Whom unusablePort() advises: the command line's user, or the window's, who chooses the port in
// its panel. The port panel says the window when it is made.
enum class Audience
{
    CommandLine,
    Window,
};
void setAudience(Audience audience);

// A port whose parameters name nothing that can be reached (PortConfig::problem()), with where
// to choose another.
Problem unusablePort(const PortConfig& config);

} // namespace qbx
