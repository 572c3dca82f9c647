#include "settings/store.h"

#include "port/printerport.h"
#include "settings/frames.h"
#include "settings/leadingnumber.h"
#include "settings/textforms.h"

#include <algorithm>
#include <cmath>

namespace qbx {
namespace {

// Quarter millimetres in sign-and-magnitude form, limited so that no count wraps into another
// value on the wire.
unsigned cutOffsetByte(int quarters)
{
    const int q = std::clamp(quarters, kMinCutQuarters, kMaxCutQuarters);
    return q < 0 ? 0x80u | static_cast<unsigned>(-q) : static_cast<unsigned>(q);
}

unsigned delayByte(int halfSeconds)
{
    return static_cast<unsigned>(std::clamp(halfSeconds, 0, kMaxDelayHalfSeconds));
}

std::vector<SwitchCommand> oneBit(const Setting& s, int entry)
{
    return {{entry == 1 ? SwitchOp::Clear : SwitchOp::Set, s.switchNo, std::string(s.mask)}};
}

std::vector<SwitchCommand> clearThenSet(const Setting& s, std::string value)
{
    return {{SwitchOp::Clear, s.switchNo, std::string(s.mask)},
            {SwitchOp::Set, s.switchNo, std::move(value)}};
}

std::vector<SwitchCommand> fixedValues(const Setting& s, const Entry& e)
{
    std::vector<SwitchCommand> commands;
    if (e.clearsField)
        commands.push_back({SwitchOp::Clear, s.switchNo, std::string(s.mask)});
    if (!e.setValue.empty())
        commands.push_back({SwitchOp::Set, s.switchNo, std::string(e.setValue)});
    return commands;
}

} // namespace

std::string CodePageHex(int entry)
{
    const int v = entry - 1;
    const int code = v <= 21 ? v : v <= 24 ? v + 10 : v + 39;
    return hexText(static_cast<unsigned>(code));
}

std::string PrintDensityHex(int entry)
{
    // "Normal" is 4: darker settings count down from 3, lighter ones up from 5.
    const int code = entry < 4 ? 4 - entry : entry;
    return hexText(static_cast<unsigned>(code));
}

int cutOffsetQuarters(std::string_view text)
{
    return static_cast<int>(std::clamp(roundHalfEven(leadingNumber(text) / 0.25), double(kMinCutQuarters),
                                       double(kMaxCutQuarters)));
}

int presenterDelayHalfSeconds(std::string_view text)
{
    return static_cast<int>(
        std::clamp(roundHalfEven(2.0 * leadingNumber(text)), 0.0, double(kMaxDelayHalfSeconds)));
}

std::vector<SwitchCommand> settingCommands(std::size_t step, const ControlSnapshot& snapshot)
{
    const Setting& s = catalogue().at(step);

    if (s.rule == Rule::CutOffset) {
        if (!snapshot.adjustCutPos)
            return {};
        return clearThenSet(s, twoDigitHex(cutOffsetByte(snapshot.cutOffsetQuarters)) + "00");
    }

    const int entry = snapshot.selection[step];
    if (entry <= 0 || static_cast<std::size_t>(entry) >= s.entries.size())
        return {};

    switch (s.rule) {
    case Rule::OneBit:
        return oneBit(s, entry);
    case Rule::FixedValues:
        return fixedValues(s, s.entries[entry]);
    case Rule::IndexMinusOne:
        return clearThenSet(s, "000" + hexText(static_cast<unsigned>(entry - 1)));
    case Rule::PrintDensity:
        return clearThenSet(s, "000" + PrintDensityHex(entry));
    case Rule::CodePage:
        return clearThenSet(s, twoDigitForm(CodePageHex(entry)) + "00");
    case Rule::PresenterDelay:
        if (static_cast<std::size_t>(entry) == customDelayEntry())
            return clearThenSet(s, "00" + twoDigitHex(delayByte(snapshot.presenterDelayHalfSeconds)));
        return fixedValues(s, s.entries[entry]);
    case Rule::CutOffset:
        break;
    }
    return {};
}

void StoreSettings(PrinterPort& port, const ControlSnapshot& snapshot)
{
    port.OpenPort();
    for (std::size_t step = 0; step < kSettingCount; ++step) {
        for (const SwitchCommand& c : settingCommands(step, snapshot)) {
            if (c.op == SwitchOp::Clear)
                ClearSwitchBits(port, c.switchNo, c.mask);
            else
                SetSwitchBits(port, c.switchNo, c.mask);
        }
    }
    port.WritePort(storeFrame());
    port.ClosePort();
}

ControlSnapshot overlaid(ControlSnapshot held, const ControlSnapshot& sent)
{
    for (std::size_t step = 0; step < kSettingCount; ++step) {
        if (settingCommands(step, sent).empty())
            continue;
        held.selection[step] = sent.selection[step];
        if (step == cutOffsetStep()) {
            held.adjustCutPos = true;
            held.cutOffsetQuarters = sent.cutOffsetQuarters;
        } else if (step == presenterDelayStep()) {
            held.presenterDelayHalfSeconds = sent.presenterDelayHalfSeconds;
        }
    }
    return held;
}

ControlSnapshot withoutChanged(ControlSnapshot held, const ControlSnapshot& sent)
{
    for (std::size_t step = 0; step < kSettingCount; ++step) {
        const std::vector<SwitchCommand> commands = settingCommands(step, sent);
        if (commands.empty() || settingCommands(step, held) == commands)
            continue;
        held.selection[step] = 0;
        if (step == cutOffsetStep())
            held.adjustCutPos = false;
    }
    return held;
}

bool holdsEvery(const ControlSnapshot& held, const ControlSnapshot& wanted)
{
    for (std::size_t step = 0; step < kSettingCount; ++step) {
        const std::vector<SwitchCommand> commands = settingCommands(step, wanted);
        if (!commands.empty() && settingCommands(step, held) != commands)
            return false;
    }
    return true;
}

} // namespace qbx
