#pragma once

#include "settings/framedecoder.h"
#include "settings/settingchoices.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qbx {

// The printer's memory switches as it holds them: eight 16-bit words.
inline constexpr std::array<char, 8> kSwitchNames{'1', '2', '3', '4', '5', '6', '7', 'A'};
using SwitchWords = std::array<std::uint16_t, kSwitchNames.size()>;

// The position of switch "1".."7" or "A" among the words; none for any other name.
std::optional<std::size_t> switchIndex(char name);

// A set frame turns on the bits of its mask, a clear frame turns them off. False, and nothing
// changed, for a frame of another kind or of a switch the printer does not have.
bool applySwitchFrame(SwitchWords& words, const DecodedFrame& frame);

// The choice of a setting that its bits hold, read with the same table the decoder uses; none
// where the bits match no choice.
const SettingChoice* readSetting(const SwitchWords& words, std::size_t step);

inline constexpr std::string_view kNotAnEntry = "not an entry of the list";

// The choice's text, or "not an entry of the list".
std::string readingText(const SettingChoice* choice);

// A switch whose word differs, with the catalogue settings whose bits differ.
struct SwitchChange
{
    std::size_t index; // among kSwitchNames
    std::uint16_t before;
    std::uint16_t after;
    std::vector<std::size_t> steps; // may be empty: bits of no setting changed
};

std::vector<SwitchChange> switchChanges(const SwitchWords& before, const SwitchWords& after);

// "2000": a word as four upper-case hexadecimal digits.
std::string wordText(std::uint16_t word);

// The words as the lines "1=0000" .. "A=0000", and back. Reading names the line that is not
// one, a switch given twice or missing; blank lines and lines beginning with '#' are skipped.
std::string switchWordsText(const SwitchWords& words);
std::variant<SwitchWords, std::string> parseSwitchWords(std::string_view text);

} // namespace qbx
