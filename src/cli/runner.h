#pragma once

#include "request.h"

#include <ostream>

namespace qbx::cli {

enum ExitStatus
{
    Done = 0,
    PortFailed = 1,
    UsageFailed = 2
};

// Performs a checked request, writing what it shows to `out` and what went wrong to `err`.
int perform(const Request& request, std::ostream& out, std::ostream& err);

// Reports a usage error on `err`, with a pointer to the help that explains it.
int reportUsage(const UsageError& error, std::ostream& err);

} // namespace qbx::cli
