#include "settings/settingchoices.h"

#include "settings/catalogue.h"
#include "settings/entrynormalise.h"

namespace qbx {
namespace {

void addChoice(std::vector<SettingChoice>& choices, const ControlSnapshot& snapshot, SettingChoice choice)
{
    choice.commands = settingCommands(choice.step, snapshot);
    if (!choice.commands.empty())
        choices.push_back(std::move(choice));
}

void addCustomDelays(std::vector<SettingChoice>& choices, std::size_t step)
{
    ControlSnapshot snapshot;
    const int custom = static_cast<int>(customDelayEntry());
    snapshot.selection[step] = custom;
    for (int halfSeconds = 0; halfSeconds <= kMaxDelayHalfSeconds; ++halfSeconds) {
        snapshot.presenterDelayHalfSeconds = halfSeconds;
        addChoice(choices, snapshot,
                  {step,
                   std::string(kCustomDelay).append(" ").append(presenterDelayText(halfSeconds * 0.5)),
                   custom,
                   halfSeconds,
                   {}});
    }
}

void addCutOffsets(std::vector<SettingChoice>& choices, std::size_t step)
{
    ControlSnapshot snapshot;
    snapshot.adjustCutPos = true;
    for (int quarters = kMinCutQuarters; quarters <= kMaxCutQuarters; ++quarters) {
        snapshot.cutOffsetQuarters = quarters;
        // " 2.5mm" or "-2.5mm" shown as "2.5 mm", built by appending: an insert here makes GCC 12
        // at -O3 warn falsely (-Wrestrict, GCC bug 105329).
        const std::string text = cutOffsetText(static_cast<float>(quarters) * 0.25f);
        const std::size_t from = text.front() == ' ' ? 1 : 0;
        std::string shown = text.substr(from, text.size() - 2 - from);
        shown.append(" mm");
        addChoice(choices, snapshot, {step, shown, 0, quarters, {}});
    }
}

std::vector<SettingChoice> makeChoices()
{
    std::vector<SettingChoice> choices;
    for (std::size_t step = 0; step < kSettingCount; ++step) {
        const Setting& s = catalogue()[step];
        ControlSnapshot snapshot;
        for (std::size_t entry = 1; entry < s.entries.size(); ++entry) {
            if (s.rule == Rule::PresenterDelay && entry == customDelayEntry())
                continue;
            snapshot.selection[step] = static_cast<int>(entry);
            addChoice(choices, snapshot,
                      {step, std::string(s.entries[entry].text), static_cast<int>(entry), 0, {}});
        }
        if (s.rule == Rule::PresenterDelay)
            addCustomDelays(choices, step);
        if (s.rule == Rule::CutOffset)
            addCutOffsets(choices, step);
    }
    return choices;
}

} // namespace

const std::vector<SettingChoice>& settingChoices()
{
    static const std::vector<SettingChoice> choices = makeChoices();
    return choices;
}

} // namespace qbx
