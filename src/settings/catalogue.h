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
    // The setting's name for scripts and profiles: "code-page". Scripts are written against it,
    // so it never changes, whatever the window calls its controls.
    std::string_view key;
    std::string_view label; // its label on the window
    std::string_view switchNo;
    std::string_view mask;
    Rule rule;
    std::span<const Entry> entries; // entry 0 is "No Change"; empty for the cut offset
};

inline constexpr std::size_t kSettingCount = 22;
inline constexpr std::string_view kNoChange = "No Change";
inline constexpr std::string_view kCustomDelay = "Custom";

// What the printer's two numbers hold: the cut offset in quarter millimetres as a sign and a
// 7-bit magnitude, no further back than the cutter reaches (-10 .. 31.75 mm), and the presenter
// delay in half seconds in one byte (0 .. 127.5 s).
inline constexpr int kMinCutQuarters = -40;
inline constexpr int kMaxCutQuarters = 127;
inline constexpr int kMaxDelayHalfSeconds = 255;

// The settings in the order in which "Store Settings" processes them: the order of the tabs,
// and within a tab the rows from top to bottom.
const std::array<Setting, kSettingCount>& catalogue();

// The catalogue position of the setting with that key.
std::optional<std::size_t> findSettingByKey(std::string_view key);

// The catalogue position of the cut offset and of the presenter delay, the two settings that
// also read a text box.
std::size_t cutOffsetStep();
std::size_t presenterDelayStep();

// The entry of the presenter delay that takes its value from the text box.
std::size_t customDelayEntry();

} // namespace qbx
