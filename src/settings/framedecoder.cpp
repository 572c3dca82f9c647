#include "framedecoder.h"

#include "catalogue.h"
#include "entrynormalise.h"
#include "frames.h"
#include "store.h"

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

namespace qbx {
namespace {

using namespace control;

constexpr std::size_t kSelfTestFrameSize = 4;
constexpr int kMaskDigits = 4;

// The cut offset is named by what it adjusts, not by the caption of its check box.
constexpr std::string_view kCutPositionName = "Cut Position";

std::optional<unsigned> hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    return std::nullopt;
}

std::optional<unsigned> maskValue(std::string_view mask)
{
    if (mask.size() != kMaskDigits)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : mask) {
        const auto digit = hexDigit(c);
        if (!digit)
            return std::nullopt;
        value = value * 16 + *digit;
    }
    return value;
}

bool isSwitchCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The frame that starts at `at`, if a whole one does.
std::optional<DecodedFrame> frameAt(std::string_view in, std::size_t at)
{
    const std::size_t left = in.size() - at;
    if (in[at] != ESC)
        return std::nullopt;
    if (left >= kSelfTestFrameSize && in.substr(at, kSelfTestFrameSize) == selfTestFrame())
        return DecodedFrame{
            FrameKind::SelfTest, at, std::string(in.substr(at, kSelfTestFrameSize)), '\0', {}};
    if (left < kSwitchFrameSize)
        return std::nullopt;
    const std::string_view f = in.substr(at, kSwitchFrameSize);
    if (f[1] != GS || f[2] != '#' || f[9] != LF || f[10] != NUL)
        return std::nullopt;
    if (f == storeFrame())
        return DecodedFrame{FrameKind::Store, at, std::string(f), '\0', {}};
    const char op = f[3];
    if ((op != '+' && op != '-') || !isSwitchCharacter(f[4]) || !maskValue(f.substr(5, kMaskDigits)))
        return std::nullopt;
    return DecodedFrame{op == '+' ? FrameKind::Set : FrameKind::Clear, at, std::string(f), f[4],
                        std::string(f.substr(5, kMaskDigits))};
}

// A switch command as the printer acts on it: the case of the mask digits does not matter.
using CommandKey = std::tuple<bool, char, unsigned>; // set?, switch, mask

struct Candidate
{
    std::size_t step;
    std::string choice;
};

class CandidateTable
{
public:
    // Every choice of every setting, run through the catalogue's own encoding. Where two choices
    // send the same frames, the first one in catalogue order names them (a custom delay of 5 s
    // reads as "5 seconds").
    CandidateTable()
    {
        for (std::size_t step = 0; step < kSettingCount; ++step) {
            const Setting& s = catalogue()[step];
            ControlSnapshot snapshot;
            for (std::size_t entry = 1; entry < s.entries.size(); ++entry) {
                if (s.rule == Rule::PresenterDelay && entry == customDelayEntry())
                    continue;
                snapshot.selection[step] = static_cast<int>(entry);
                add(step, snapshot, std::string(s.entries[entry].text));
            }
            if (s.rule == Rule::PresenterDelay)
                addCustomDelays(step);
            if (s.rule == Rule::CutOffset)
                addCutOffsets(step);
        }
    }

    std::size_t longest() const { return m_longest; }

    const Candidate* find(const std::vector<CommandKey>& commands) const
    {
        const auto it = m_byCommands.find(commands);
        return it == m_byCommands.end() ? nullptr : &it->second;
    }

private:
    void addCustomDelays(std::size_t step)
    {
        ControlSnapshot snapshot;
        snapshot.selection[step] = static_cast<int>(customDelayEntry());
        for (int halfSeconds = 0; halfSeconds <= 255; ++halfSeconds) {
            snapshot.presenterDelayText = presenterDelayText(halfSeconds * 0.5);
            add(step, snapshot, std::string(kCustomDelay) + " " + snapshot.presenterDelayText);
        }
    }

    void addCutOffsets(std::size_t step)
    {
        ControlSnapshot snapshot;
        snapshot.adjustCutPos = true;
        for (int quarters = -40; quarters <= 127; ++quarters) {
            snapshot.cutOffsetText = cutOffsetText(static_cast<float>(quarters) * 0.25f);
            std::string shown = snapshot.cutOffsetText;
            if (shown.front() == ' ')
                shown.erase(0, 1);
            shown.insert(shown.size() - 2, " ");
            add(step, snapshot, shown);
        }
    }

    void add(std::size_t step, const ControlSnapshot& snapshot, std::string choice)
    {
        std::vector<CommandKey> key;
        for (const SwitchCommand& c : settingCommands(step, snapshot))
            key.emplace_back(c.op == SwitchOp::Set, c.switchNo.front(), maskValue(c.mask).value_or(0));
        if (key.empty())
            return;
        m_longest = std::max(m_longest, key.size());
        m_byCommands.emplace(std::move(key), Candidate{step, std::move(choice)});
    }

    std::map<std::vector<CommandKey>, Candidate> m_byCommands;
    std::size_t m_longest = 0;
};

const CandidateTable& candidates()
{
    static const CandidateTable table;
    return table;
}

std::optional<std::vector<CommandKey>> commandKeys(const std::vector<DecodedFrame>& frames, std::size_t first,
                                                   std::size_t count)
{
    std::vector<CommandKey> keys;
    for (std::size_t i = first; i < first + count; ++i) {
        const DecodedFrame& f = frames[i];
        if (f.kind != FrameKind::Clear && f.kind != FrameKind::Set)
            return std::nullopt;
        keys.emplace_back(f.kind == FrameKind::Set, f.switchNo, *maskValue(f.mask));
    }
    return keys;
}

std::string settingName(std::size_t step)
{
    if (catalogue()[step].rule == Rule::CutOffset)
        return std::string(kCutPositionName);
    return std::string(catalogue()[step].label);
}

// Longest match first, so that "clear 2 0030, set 2 0010" reads as one choice of the print
// speed and not as "Full Speed" followed by an unknown frame.
std::vector<RecognisedSetting> recognise(const std::vector<DecodedFrame>& frames)
{
    const CandidateTable& table = candidates();
    std::vector<RecognisedSetting> found;
    std::size_t i = 0;
    while (i < frames.size()) {
        std::size_t matched = 0;
        for (std::size_t length = std::min(table.longest(), frames.size() - i); length > 0 && !matched;
             --length) {
            const auto keys = commandKeys(frames, i, length);
            if (!keys)
                continue;
            if (const Candidate* c = table.find(*keys)) {
                found.push_back({c->step, i, length, settingName(c->step), c->choice});
                matched = length;
            }
        }
        i += matched ? matched : 1;
    }
    return found;
}

} // namespace

std::size_t FrameDecoding::otherByteCount() const
{
    std::size_t total = 0;
    for (const OtherBytes& run : otherBytes)
        total += run.count;
    return total;
}

FrameDecoding decodeFrames(std::string_view bytes)
{
    FrameDecoding result;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (auto frame = frameAt(bytes, at)) {
            at += frame->bytes.size();
            result.frames.push_back(std::move(*frame));
            continue;
        }
        if (result.otherBytes.empty() ||
            result.otherBytes.back().offset + result.otherBytes.back().count != at)
            result.otherBytes.push_back({at, 0});
        ++result.otherBytes.back().count;
        ++at;
    }
    result.settings = recognise(result.frames);
    return result;
}

std::string frameCommandText(const DecodedFrame& frame)
{
    switch (frame.kind) {
    case FrameKind::Clear:
        return "clear " + std::string(1, frame.switchNo) + " " + frame.mask;
    case FrameKind::Set:
        return "set " + std::string(1, frame.switchNo) + " " + frame.mask;
    case FrameKind::Store:
        return "store";
    case FrameKind::SelfTest:
        return "self-test";
    }
    return {};
}

std::string bitsText(std::string_view mask)
{
    const unsigned value = maskValue(mask).value_or(0);
    std::vector<std::pair<int, int>> runs;
    for (int bit = 0; bit < 16; ++bit) {
        if (!(value & (1u << bit)))
            continue;
        if (!runs.empty() && runs.back().second == bit - 1)
            runs.back().second = bit;
        else
            runs.emplace_back(bit, bit);
    }
    if (runs.empty())
        return "no bits";
    std::string text = runs.size() == 1 && runs[0].first == runs[0].second ? "bit " : "bits ";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += std::to_string(runs[i].first);
        if (runs[i].second != runs[i].first)
            text += "-" + std::to_string(runs[i].second);
    }
    return text;
}

std::string hexBytesText(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!text.empty())
            text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

} // namespace qbx
