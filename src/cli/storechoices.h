#pragma once

#include "store.h"

#include <string>
#include <variant>
#include <vector>

namespace qbx::cli {

// Why a list of choices cannot be stored, in words for standard error (may span lines).
struct ChoiceError
{
    std::string message;
};

// Turns the KEY=VALUE words of `store` into what "Store Settings" reads from the window; every
// setting not named stays at "No Change".
//
// VALUE is "#N" for entry N, or text matched against the entry texts ignoring case and
// surrounding blanks: an exact match first, else a unique beginning. cut-offset takes
// millimetres and ticks the adjuster; presenter-delay takes seconds (choosing "Custom") or an
// entry. Both numbers are rounded as the window's editors round them but, unlike the window,
// refused outside the printer's range.
std::variant<ControlSnapshot, ChoiceError> snapshotFromChoices(const std::vector<std::string>& choices);

} // namespace qbx::cli
