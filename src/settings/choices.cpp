#include "settings/choices.h"

#include "settings/catalogue.h"
#include "settings/entrynormalise.h"
#include "settings/frames.h"
#include "settings/leadingnumber.h"
#include "settings/textforms.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <limits>
#include <optional>
#include <sstream>

namespace qbx {
namespace {

constexpr double kMinCutOffset = kMinCutQuarters * 0.25;
constexpr double kMaxCutOffset = kMaxCutQuarters * 0.25;
constexpr double kMaxDelay = kMaxDelayHalfSeconds * 0.5;

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return result;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A whole text that is one decimal number: sign, digits with an optional '.', an optional
// exponent. Anything else ('2,5', '12 .5', '1e') is not a number here, so a typing error in a
// script is refused instead of read as its leading part.
bool isPlainNumber(std::string_view text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        ++digits;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && isDigit(text[i]); ++i)
            ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const std::size_t exponentStart = i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
        }
        if (i == exponentStart)
            return false;
    }
    return i == text.size();
}

// The number of a value such as '12.5', '12.5mm' or '30 s', if it is one.
std::optional<double> numberWithUnit(std::string_view value, std::string_view unit)
{
    std::string_view text = trimmed(value);
    if (text.size() >= unit.size() && lowered(text.substr(text.size() - unit.size())) == unit)
        text = trimmed(text.substr(0, text.size() - unit.size()));
    if (!isPlainNumber(text))
        return std::nullopt;
    return leadingNumber(text);
}

// Values come from the command line or a file: shown escaped, they cannot forge a line.
std::string quoted(std::string_view text)
{
    // Appended rather than "'" + ...: see cutOffsetText (a false -Wrestrict of GCC 12 at -O3).
    std::string shown("'");
    shown.append(escapedText(text)).append("'");
    return shown;
}

std::string entryLines(const Setting& s, const std::vector<std::size_t>& entries)
{
    std::string lines;
    for (const std::size_t e : entries)
        lines += "\n  #" + std::to_string(e) + " " + quoted(s.entries[e].text);
    return lines;
}

std::vector<std::size_t> allEntries(const Setting& s)
{
    std::vector<std::size_t> entries(s.entries.size());
    for (std::size_t e = 0; e < entries.size(); ++e)
        entries[e] = e;
    return entries;
}

std::optional<std::size_t> entryNumber(std::string_view value)
{
    if (value.size() < 2 || value.front() != '#')
        return std::nullopt;
    const std::string_view digits = value.substr(1);
    if (!std::all_of(digits.begin(), digits.end(), isDigit))
        return std::nullopt;
    std::size_t n = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (result.ec != std::errc())
        return std::numeric_limits<std::size_t>::max();
    return n;
}

std::variant<std::size_t, ChoiceError> matchEntry(const std::string& key, const Setting& s,
                                                  std::string_view value)
{
    const std::string_view wanted = trimmed(value);
    if (const auto n = entryNumber(wanted)) {
        if (*n < s.entries.size())
            return *n;
        return ChoiceError{key + " has no entry #" + std::string(wanted.substr(1)) +
                           "; its entries are #0 to #" + std::to_string(s.entries.size() - 1)};
    }
    const std::string needle = lowered(wanted);
    std::vector<std::size_t> exact;
    std::vector<std::size_t> prefixed;
    for (std::size_t e = 0; e < s.entries.size() && !needle.empty(); ++e) {
        const std::string text = lowered(trimmed(s.entries[e].text));
        if (text == needle)
            exact.push_back(e);
        else if (text.starts_with(needle))
            prefixed.push_back(e);
    }
    const std::vector<std::size_t>& found = exact.empty() ? prefixed : exact;
    if (found.size() == 1)
        return found.front();
    if (found.empty())
        return ChoiceError{key + ": no entry matches " + quoted(value) +
                           ". The entries are:" + entryLines(s, allEntries(s))};
    return ChoiceError{key + ": " + quoted(value) +
                       " matches several entries; pick one by its number:" + entryLines(s, found)};
}

std::optional<ChoiceError> chooseCutOffset(const std::string& key, std::string_view value,
                                           ControlSnapshot& snapshot)
{
    const auto mm = numberWithUnit(value, "mm");
    if (!mm)
        return ChoiceError{key + ": " + quoted(value) +
                           " is not millimetres; give a number such as 12.5 or -2.5mm"};
    if (!(*mm >= kMinCutOffset && *mm <= kMaxCutOffset))
        return ChoiceError{key + ": " + quoted(value) + " is outside the printer's range of " +
                           cutOffsetRangeText()};
    snapshot.adjustCutPos = true;
    snapshot.cutOffsetQuarters = static_cast<int>(normaliseCutOffset(static_cast<float>(*mm)) * 4.0f);
    return std::nullopt;
}

std::optional<ChoiceError> chooseEntry(const std::string& key, std::size_t step, std::string_view value,
                                       ControlSnapshot& snapshot)
{
    const Setting& s = catalogue()[step];
    if (s.rule == Rule::PresenterDelay) {
        if (const auto seconds = numberWithUnit(value, "s")) {
            if (!(*seconds >= 0.0 && *seconds <= kMaxDelay))
                return ChoiceError{key + ": " + quoted(value) + " is outside the printer's range of " +
                                   presenterDelayRangeText()};
            snapshot.selection[step] = static_cast<int>(customDelayEntry());
            snapshot.presenterDelayHalfSeconds = static_cast<int>(normalisePresenterDelay(*seconds) * 2.0);
            return std::nullopt;
        }
    }
    auto entry = matchEntry(key, s, value);
    if (auto* error = std::get_if<ChoiceError>(&entry))
        return std::move(*error);
    const std::size_t chosen = std::get<std::size_t>(entry);
    if (s.rule == Rule::PresenterDelay && chosen == customDelayEntry())
        return ChoiceError{key + ": \"Custom\" needs its delay; give the seconds instead, such as " + key +
                           "=2.5"};
    snapshot.selection[step] = static_cast<int>(chosen);
    return std::nullopt;
}

// The value that chooses the setting's decoded choice again.
std::string valueOf(const RecognisedSetting& r)
{
    const Setting& s = catalogue()[r.step];
    if (s.rule == Rule::CutOffset)
        return std::string(trimmed(cutOffsetText(static_cast<float>(r.number) * 0.25f)));
    if (s.rule == Rule::PresenterDelay && static_cast<std::size_t>(r.entry) == customDelayEntry())
        return presenterDelayText(r.number * 0.5);
    return entryValue(r.step, static_cast<std::size_t>(r.entry));
}

} // namespace

std::string entryValue(std::size_t step, std::size_t entry)
{
    const Setting& s = catalogue()[step];
    const std::string_view text = s.entries[entry].text;
    const auto back = matchEntry(std::string(s.key), s, text);
    const auto* found = std::get_if<std::size_t>(&back);
    const bool readsAsNumber = s.rule == Rule::PresenterDelay && numberWithUnit(text, "s");
    if (found && *found == entry && !readsAsNumber && text == trimmed(text))
        return std::string(text);
    std::string number("#");
    number.append(std::to_string(entry));
    return number;
}

std::string choiceKey(std::string_view choice)
{
    return lowered(trimmed(choice.substr(0, choice.find('='))));
}

namespace {

struct ProfileLine
{
    std::size_t number;
    std::string choice;
};

std::variant<std::vector<ProfileLine>, ChoiceError> profileLines(std::string_view text)
{
    // Written by an editor that marks its UTF-8: the mark is no part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<ProfileLine> choices;
    std::vector<std::string> keys;
    std::size_t lineNo = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNo;
        if (line.empty() || line.front() == '#')
            continue;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (line.find('=') == std::string_view::npos)
            return ChoiceError{where + quoted(line) + " is not KEY=VALUE"};
        const std::string key = choiceKey(line);
        if (std::find(keys.begin(), keys.end(), key) != keys.end())
            return ChoiceError{where + key + " is given more than once"};
        keys.push_back(key);
        choices.push_back({lineNo, std::string(line)});
    }
    return choices;
}

} // namespace

std::variant<std::vector<std::string>, ChoiceError> profileChoices(std::string_view text)
{
    auto lines = profileLines(text);
    if (auto* error = std::get_if<ChoiceError>(&lines))
        return std::move(*error);
    std::vector<std::string> choices;
    for (ProfileLine& line : std::get<std::vector<ProfileLine>>(lines))
        choices.push_back(std::move(line.choice));
    return choices;
}

std::variant<ControlSnapshot, ChoiceError> profileSnapshot(std::string_view text)
{
    const auto lines = profileLines(text);
    if (const auto* error = std::get_if<ChoiceError>(&lines))
        return *error;
    if (std::get<std::vector<ProfileLine>>(lines).empty())
        return ChoiceError{"it names no setting; " + std::string(kProfileForm)};
    std::vector<std::string> choices;
    for (const ProfileLine& line : std::get<std::vector<ProfileLine>>(lines))
        choices.push_back(line.choice);
    auto whole = snapshotFromChoices(choices);
    if (std::holds_alternative<ControlSnapshot>(whole))
        return whole;
    // Each line alone, so that what it cannot take is named by its line; a key stands once, so
    // no line changes what another means.
    for (const ProfileLine& line : std::get<std::vector<ProfileLine>>(lines)) {
        const auto alone = snapshotFromChoices({line.choice});
        if (const auto* error = std::get_if<ChoiceError>(&alone))
            return ChoiceError{"line " + std::to_string(line.number) + ": " + error->message};
    }
    return whole;
}

void ProfileSink::refuse(std::string why)
{
    if (m_refusal.empty())
        m_refusal = std::move(why);
}

void ProfileSink::frame(const DecodedFrame& frame, std::size_t index, const RecognisedSetting* setting)
{
    const std::string where =
        "frame " + std::to_string(index + 1) + " at byte " + std::to_string(frame.offset);
    if (m_stored)
        return refuse(where + " follows the store frame");
    if (frame.kind == FrameKind::Store) {
        m_stored = true;
        return;
    }
    if (!setting)
        return refuse(where + " (" + frameCommandText(frame) + ") belongs to no setting");
    if (index + 1 != setting->firstFrame + setting->frameCount)
        return;
    if (setting->step < m_nextStep)
        return refuse(where + ": " + std::string(catalogue()[setting->step].key) +
                      " is out of order or repeated; 'store' sends each setting once, in the order of "
                      "'qbx7config settings'");
    m_nextStep = setting->step + 1;
    m_lines += std::string(catalogue()[setting->step].key) + "=" + valueOf(*setting) + "\n";
}

void ProfileSink::otherBytes(const OtherBytes& run)
{
    refuse(std::to_string(run.count) + " bytes at byte " + std::to_string(run.offset) + " are no frame");
}

std::variant<std::string, ChoiceError> ProfileSink::profile() const
{
    if (m_refusal.empty() && !m_stored)
        return ChoiceError{"there is no store frame at the end"};
    if (!m_refusal.empty())
        return ChoiceError{m_refusal};
    return "# QBX7Config settings: 'qbx7config store --from FILE' sends them again\n" + m_lines;
}

std::string profileText(const ControlSnapshot& snapshot)
{
    // Made from the frames, so that a profile says exactly what the frames do.
    ProfileSink sink;
    FrameStream frames(sink);
    for (std::size_t step = 0; step < kSettingCount; ++step)
        for (const SwitchCommand& command : settingCommands(step, snapshot))
            frames.feed(
                (command.op == SwitchOp::Set ? setFrame : clearFrame)(command.switchNo, command.mask));
    frames.feed(storeFrame());
    frames.finish();
    return std::get<std::string>(sink.profile());
}

std::vector<std::pair<std::string, std::string>> sentChoices(const ControlSnapshot& snapshot)
{
    std::vector<std::pair<std::string, std::string>> choices;
    std::istringstream lines(profileText(snapshot));
    for (std::string line; std::getline(lines, line);)
        if (const auto equals = line.find('='); !line.starts_with('#') && equals != std::string::npos)
            choices.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    return choices;
}

std::variant<ControlSnapshot, ChoiceError> snapshotFromChoices(const std::vector<std::string>& choices)
{
    ControlSnapshot snapshot;
    std::array<bool, kSettingCount> named{};
    for (const std::string& choice : choices) {
        const auto equals = choice.find('=');
        if (equals == std::string::npos)
            return ChoiceError{quoted(choice) + " is not KEY=VALUE"};
        const std::string key = choiceKey(std::string_view(choice).substr(0, equals));
        const std::string_view value = std::string_view(choice).substr(equals + 1);
        const auto step = findSettingByKey(key);
        if (!step)
            return ChoiceError{"unknown key " + quoted(key) + "; 'qbx7config settings' lists the keys"};
        if (named[*step])
            return ChoiceError{key + " is given more than once"};
        named[*step] = true;
        const auto error = catalogue()[*step].rule == Rule::CutOffset
                               ? chooseCutOffset(key, value, snapshot)
                               : chooseEntry(key, *step, value, snapshot);
        if (error)
            return *error;
    }
    return snapshot;
}

} // namespace qbx
