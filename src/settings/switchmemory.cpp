#include "settings/switchmemory.h"

#include "settings/catalogue.h"

#include <algorithm>
#include <map>

namespace qbx {
namespace {

// Turns on or off the mask's bits in the switch; false for a switch the printer lacks.
bool applyCommand(SwitchWords& words, bool set, char switchNo, std::string_view maskDigits)
{
    const auto index = switchIndex(switchNo);
    const auto mask = maskValue(maskDigits);
    if (!index || !mask)
        return false;
    auto& word = words[*index];
    word = static_cast<std::uint16_t>(set ? word | *mask : word & ~*mask);
    return true;
}

unsigned settingMask(const Setting& s)
{
    return maskValue(s.mask).value_or(0);
}

// For each setting, the choice that each value of its field stands for. A choice counts only if
// its commands fix every bit of the field, whatever the field held before; the first choice of
// a value names it.
class FieldReadings
{
public:
    FieldReadings()
    {
        for (const SettingChoice& choice : settingChoices()) {
            const auto field = fieldAfter(choice);
            if (field)
                m_byField[choice.step].emplace(*field, &choice);
        }
    }

    const SettingChoice* find(std::size_t step, unsigned field) const
    {
        const auto& fields = m_byField[step];
        const auto it = fields.find(field);
        return it == fields.end() ? nullptr : it->second;
    }

private:
    static std::optional<unsigned> fieldAfter(const SettingChoice& choice)
    {
        const Setting& s = catalogue()[choice.step];
        const std::size_t index = *switchIndex(s.switchNo.front());
        SwitchWords clear{};
        SwitchWords full{};
        full.fill(0xFFFF);
        for (const SwitchCommand& c : choice.commands) {
            applyCommand(clear, c.op == SwitchOp::Set, c.switchNo.front(), c.mask);
            applyCommand(full, c.op == SwitchOp::Set, c.switchNo.front(), c.mask);
        }
        const unsigned mask = settingMask(s);
        if ((clear[index] & mask) != (full[index] & mask))
            return std::nullopt;
        return clear[index] & mask;
    }

    std::array<std::map<unsigned, const SettingChoice*>, kSettingCount> m_byField;
};

const FieldReadings& fieldReadings()
{
    static const FieldReadings readings;
    return readings;
}

} // namespace

std::optional<std::size_t> switchIndex(char name)
{
    const auto it = std::find(kSwitchNames.begin(), kSwitchNames.end(), name);
    if (it == kSwitchNames.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - kSwitchNames.begin());
}

bool applySwitchFrame(SwitchWords& words, const DecodedFrame& frame)
{
    if (frame.kind != FrameKind::Set && frame.kind != FrameKind::Clear)
        return false;
    return applyCommand(words, frame.kind == FrameKind::Set, frame.switchNo, frame.mask);
}

const SettingChoice* readSetting(const SwitchWords& words, std::size_t step)
{
    const Setting& s = catalogue().at(step);
    return fieldReadings().find(step, words[*switchIndex(s.switchNo.front())] & settingMask(s));
}

std::string readingText(const SettingChoice* choice)
{
    return choice ? choice->text : std::string(kNotAnEntry);
}

std::vector<SwitchChange> switchChanges(const SwitchWords& before, const SwitchWords& after)
{
    std::vector<SwitchChange> changes;
    for (std::size_t i = 0; i < kSwitchNames.size(); ++i) {
        if (before[i] == after[i])
            continue;
        SwitchChange change{i, before[i], after[i], {}};
        for (std::size_t step = 0; step < kSettingCount; ++step) {
            const Setting& s = catalogue()[step];
            if (switchIndex(s.switchNo.front()) == i && ((before[i] ^ after[i]) & settingMask(s)))
                change.steps.push_back(step);
        }
        changes.push_back(std::move(change));
    }
    return changes;
}

std::string wordText(std::uint16_t word)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(word >> 12) & 0xF], kDigits[(word >> 8) & 0xF], kDigits[(word >> 4) & 0xF],
            kDigits[word & 0xF]};
}

std::string switchWordsText(const SwitchWords& words)
{
    std::string text;
    for (std::size_t i = 0; i < kSwitchNames.size(); ++i)
        text += std::string(1, kSwitchNames[i]) + "=" + wordText(words[i]) + "\n";
    return text;
}

std::variant<SwitchWords, std::string> parseSwitchWords(std::string_view text)
{
    SwitchWords words{};
    std::array<bool, kSwitchNames.size()> seen{};
    std::size_t lineNo = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        const bool shaped = line.size() == 6 && line[1] == '=';
        const std::size_t index = shaped ? switchIndex(line[0]).value_or(seen.size()) : seen.size();
        const auto value = maskValue(line.substr(std::min<std::size_t>(2, line.size())));
        if (index == seen.size() || !value)
            return where + "not SWITCH=HHHH (a switch 1..7 or A, four hexadecimal digits)";
        if (seen[index])
            return where + "switch " + std::string(1, line[0]) + " is given twice";
        seen[index] = true;
        words[index] = static_cast<std::uint16_t>(*value);
    }
    for (std::size_t i = 0; i < seen.size(); ++i)
        if (!seen[i])
            return "switch " + std::string(1, kSwitchNames[i]) + " is missing";
    return words;
}

} // namespace qbx
