#pragma once

#include "settings/store.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qbx {

// One choice of one setting with the switch commands that "Store Settings" sends for it.
struct SettingChoice
{
    std::size_t step; // catalogue position
    std::string text; // "1252 (Windows Latin-1)", "-2.5 mm", "Custom 2.5s"
    int entry = 0;    // the list's entry; 0 for the cut offset
    int number = 0;   // quarter millimetres of the cut offset, half seconds of a custom delay
    std::vector<SwitchCommand> commands;
};

// Every choice of every setting, encoded by the catalogue's own rules (settingCommands), in
// catalogue order; within a setting the list's entries come before the numbers of "Custom", so
// where two choices send the same commands, the first one names them (a custom delay of 5 s is
// "5 seconds"). The decoder reads frames with it and the switch memory reads bits with it: one
// table, read both ways.
const std::vector<SettingChoice>& settingChoices();

} // namespace qbx
