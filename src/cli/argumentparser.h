#pragma once

#include "request.h"

#include <QStringList>

#include <variant>

namespace qbx::cli {

// Reads the arguments that follow the program's name. Nothing is opened, read or sent here:
// every usage error is found before any port is touched.
std::variant<Request, UsageError> parseArguments(const QStringList& arguments);

// The sub-commands, as typed.
const QStringList& commandNames();

} // namespace qbx::cli
