#pragma once

#include "cli/commandtable.h"

#include <QByteArrayList>

#include <variant>

namespace qbx::cli {

struct UsageError
{
    QString command; // the command whose help explains the mistake; empty for the program
    QString message;
};

// Reads the arguments that follow the program's name, as the bytes the shell passed. Nothing
// is opened, read or sent here. An argument that is no valid text in the system's encoding is
// refused: it could name no file but another one.
std::variant<Invocation, UsageError> parseArguments(const QByteArrayList& arguments);

// The value of an option that takes a whole number from lowest to highest, `fallback` when it is
// not given; a usage error of the command otherwise.
std::variant<int, UsageError> wholeNumberOption(const Invocation& invocation, const Option& option,
                                                int lowest, int highest, int fallback);

} // namespace qbx::cli
