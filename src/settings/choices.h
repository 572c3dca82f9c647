#pragma once

#include "settings/framedecoder.h"
#include "settings/store.h"

#include <string>
#include <variant>
#include <vector>

namespace qbx {

// The choices of `store` as text: KEY=VALUE words on the command line, or the lines of a
// profile. Keys are those of the catalogue.

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

// The KEY=VALUE lines of a profile, without its blank lines and '#' comments; an error names the
// line. A key may stand once.
std::variant<std::vector<std::string>, ChoiceError> profileChoices(std::string_view text);

// What a profile is, for a message about one that names no setting (an empty file, say, left by
// a failed 'decode --profile > FILE'), which would otherwise send nothing but the keep command.
inline constexpr std::string_view kProfileForm = "a profile holds KEY=VALUE lines, such as code-page=1252";

// The choices of a profile's text whole, as the window opens it: an error names the line.
std::variant<ControlSnapshot, ChoiceError> profileSnapshot(std::string_view text);

// The VALUE that picks the entry: its text where that picks it and no other, else "#N".
std::string entryValue(std::size_t step, std::size_t entry);

// The key of a KEY=VALUE choice as it is matched: without surrounding blanks, in lower case.
std::string choiceKey(std::string_view choice);

// The profile of what "Store Settings" sends for the snapshot, as `decode --profile` writes it:
// `store --from` reads it back into the same frames.
std::string profileText(const ControlSnapshot& snapshot);

// The KEY=VALUE choices that the snapshot sends, as its profile names them, in catalogue order.
std::vector<std::pair<std::string, std::string>> sentChoices(const ControlSnapshot& snapshot);

// Collects a decoding into the profile that makes `store` send the same bytes again. It holds
// no more than one line per setting, whatever the length of the input.
class ProfileSink final : public DecodingSink
{
public:
    void frame(const DecodedFrame& frame, std::size_t index, const RecognisedSetting* setting) override;
    void otherBytes(const OtherBytes& run) override;

    // The profile's text, or why the bytes are not what "Store Settings" sends.
    std::variant<std::string, ChoiceError> profile() const;

private:
    void refuse(std::string why);

    std::string m_lines;
    std::size_t m_nextStep = 0; // settings come in catalogue order, each at most once
    bool m_stored = false;
    std::string m_refusal;
};

} // namespace qbx
