#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace qbx {

// How a setting's selection turns into switch commands.
enum class Rule
{
    OneBit,         // entry 1 clears the bit, entry 2 sets it
    FixedValues,    // each entry names its own clear and set
    IndexMinusOne,  // clear the field, set "000" + hex(i - 1)
    PrintDensity,   // clear the field, set "000" + PrintDensityHex
    CodePage,       // clear the field, set twoDigitHex(CodePageHex) + "00"
    CutOffset,      // while the box is ticked: clear the field, set the sign-and-magnitude byte + "00"
    PresenterDelay, // fixed values, and "Custom": clear the field, set "00" + half seconds
};

struct Entry
{
    std::string_view text;
    // FixedValues and PresenterDelay only: whether the entry clears the whole field first, and
    // the value it then sets (none when empty; computed for "Custom").
    bool clearsField = true;
    std::string_view setValue = {};
};

struct Setting
{
    std::string_view control; // the control whose state is read: "cmbZeroStyle", "txtCutOffset"
    std::string_view label;   // its label on the window
    std::string_view switchNo;
    std::string_view mask;
    Rule rule;
    std::span<const Entry> entries; // entry 0 is "No Change"; empty for the cut offset
};

inline constexpr std::size_t kSettingCount = 22;
inline constexpr std::string_view kNoChange = "No Change";
inline constexpr std::string_view kCustomDelay = "Custom";

// The settings in the order in which "Store Settings" processes them: the order of the tabs,
// and within a tab the rows from top to bottom.
const std::array<Setting, kSettingCount>& catalogue();

// The catalogue position of the setting read from the named control.
std::optional<std::size_t> findSetting(std::string_view control);

// The catalogue position of the cut offset and of the presenter delay, the two settings that
// also read a text box.
std::size_t cutOffsetStep();
std::size_t presenterDelayStep();

// The entry of the presenter delay that takes its value from the text box.
std::size_t customDelayEntry();

} // namespace qbx
