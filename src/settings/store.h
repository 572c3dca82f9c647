#pragma once

#include "catalogue.h"

#include <array>
#include <string>
#include <vector>

namespace qbx {

class PrinterPort;

// What "Store Settings" reads from the window at the moment of the click.
struct ControlSnapshot
{
    // The entry index of each list, by catalogue position; 0 is "No Change". The position of
    // the cut offset is not a list and is ignored.
    std::array<int, kSettingCount> selection{};
    bool adjustCutPos = false;
    std::string cutOffsetText;
    std::string presenterDelayText;

    int& operator[](std::string_view control);
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

// "Store Settings": open, every step's commands in catalogue order, the store frame, close.
void StoreSettings(PrinterPort& port, const ControlSnapshot& snapshot);

// The code of a code-page entry (1 to 41) and of a print-density entry (1 to 7), as hexadecimal
// text: "0".."15", "20".."22", "40".."4F" and "1".."7".
std::string CodePageHex(int entry);
std::string PrintDensityHex(int entry);

// The byte that the cut-offset text puts into the high byte of switch 2: quarter millimetres in
// sign-and-magnitude form, limited to -10 .. 31.75 mm.
unsigned cutOffsetByte(std::string_view text);

// The presenter delay text in half seconds, limited to what the one-byte timer holds.
unsigned presenterDelayHalfSeconds(std::string_view text);

} // namespace qbx
