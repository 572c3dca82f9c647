#pragma once

#include "settings/catalogue.h"

#include <array>
#include <string>
#include <vector>

namespace qbx {

class PrinterPort;

// The choices "Store Settings" sends, as numbers: what the window shows at the moment of the
// click, or what a script names.
struct ControlSnapshot
{
    // The entry index of each list, by catalogue position; 0 is "No Change". The position of
    // the cut offset is not a list and is ignored.
    std::array<int, kSettingCount> selection{};
    bool adjustCutPos = false;
    int cutOffsetQuarters = 0;         // quarter millimetres, sent while adjustCutPos
    int presenterDelayHalfSeconds = 0; // sent when the delay's "Custom" entry is selected

    bool operator==(const ControlSnapshot&) const = default;
};

enum class SwitchOp
{
    Clear,
    Set
};

struct SwitchCommand
{
    SwitchOp op;
    std::string_view switchNo;
    std::string mask;

    bool operator==(const SwitchCommand&) const = default;
};

// The switch commands, clear before set, that one catalogue step produces for the snapshot;
// none for "No Change", an unticked cut offset, or an index the list does not have.
std::vector<SwitchCommand> settingCommands(std::size_t step, const ControlSnapshot& snapshot);

// What a printer holds after `sent` was stored over what it held: each setting that `sent`
// sends takes its value from it, the others keep theirs.
ControlSnapshot overlaid(ControlSnapshot held, const ControlSnapshot& sent);

// `held` without the settings that `sent` would change: what can still be vouched for while
// `sent` is under way, or after it failed.
ControlSnapshot withoutChanged(ControlSnapshot held, const ControlSnapshot& sent);

// Whether storing `wanted` over `held` would change nothing: every setting that `wanted` sends,
// `held` sends with the same commands.
bool holdsEvery(const ControlSnapshot& held, const ControlSnapshot& wanted);

// "Store Settings": open, every step's commands in catalogue order, the store frame, close.
void StoreSettings(PrinterPort& port, const ControlSnapshot& snapshot);

// The code of a code-page entry (1 to 41) and of a print-density entry (1 to 7), as hexadecimal
// text: "0".."15", "20".."22", "40".."4F" and "1".."7".
std::string CodePageHex(int entry);
std::string PrintDensityHex(int entry);

// The numbers in the window's two text boxes, as "Store Settings" reads them: the leading
// number, rounded to the nearest count (a tie to the even one) and limited to what the printer
// holds, so that a text that was typed and never normalised cannot wrap into another value.
int cutOffsetQuarters(std::string_view text);
int presenterDelayHalfSeconds(std::string_view text);

} // namespace qbx
