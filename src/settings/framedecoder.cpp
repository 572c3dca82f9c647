#include "settings/framedecoder.h"

#include "settings/catalogue.h"
#include "settings/frames.h"
#include "settings/settingchoices.h"
#include "settings/store.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

namespace qbx {
namespace {

using namespace control;

constexpr std::size_t kSelfTestFrameSize = 4;
constexpr int kMaskDigits = 4;

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

} // namespace

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

namespace {

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

// Whether more bytes after these may complete a frame: they are the beginning of one.
bool mayBeginFrame(std::string_view rest)
{
    if (selfTestFrame().compare(0, rest.size(), rest) == 0)
        return true;
    const std::string_view pattern = "\x1b\x1d#";
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        const bool fits = i < pattern.size()          ? c == pattern[i]
                          : i == 3                    ? c == '+' || c == '-' || c == 'W'
                          : i == 4                    ? isSwitchCharacter(c)
                          : i == kSwitchFrameSize - 2 ? c == LF
                                                      : hexDigit(c).has_value();
        if (!fits)
            return false;
    }
    return true;
}

// A switch command as the printer acts on it, packed so that numbers compare as (set?, switch,
// mask) do: the case of the mask digits does not matter.
using CommandKey = std::uint32_t;

CommandKey packedCommand(bool set, char switchNo, unsigned mask)
{
    return (CommandKey(set) << 24) | (CommandKey(static_cast<unsigned char>(switchNo)) << 16) |
           (mask & 0xFFFFu);
}

// Every choice of every setting by the commands it sends, as one sorted flat table: every run of
// the program that decodes builds it, a store that updates its record among them, so it makes no
// allocation per choice.
class CandidateTable
{
public:
    CandidateTable()
    {
        const auto& choices = settingChoices();
        m_rows.reserve(choices.size());
        for (const SettingChoice& choice : choices) {
            const auto begin = m_keys.size();
            for (const SwitchCommand& c : choice.commands)
                m_keys.push_back(
                    packedCommand(c.op == SwitchOp::Set, c.switchNo.front(), maskValue(c.mask).value_or(0)));
            m_rows.push_back({begin, m_keys.size() - begin, &choice});
            m_longest = std::max(m_longest, choice.commands.size());
        }
        // Stable, so that of two choices that send the same commands the first one names them.
        std::stable_sort(m_rows.begin(), m_rows.end(), [this](const Row& a, const Row& b) {
            return std::ranges::lexicographical_compare(keysOf(a), keysOf(b));
        });
    }

    std::size_t longest() const { return m_longest; }

    const SettingChoice* find(std::span<const CommandKey> commands) const
    {
        const auto it = firstNotBefore(commands);
        return it != m_rows.end() && std::ranges::equal(keysOf(*it), commands) ? it->choice : nullptr;
    }

    // Whether some setting sends these commands and more after them.
    bool extendable(std::span<const CommandKey> commands) const
    {
        auto it = firstNotBefore(commands);
        while (it != m_rows.end() && std::ranges::equal(keysOf(*it), commands))
            ++it;
        return it != m_rows.end() && it->length > commands.size() &&
               std::ranges::equal(keysOf(*it).first(commands.size()), commands);
    }

private:
    struct Row
    {
        std::size_t begin;
        std::size_t length;
        const SettingChoice* choice;
    };

    std::span<const CommandKey> keysOf(const Row& row) const
    {
        return std::span(m_keys).subspan(row.begin, row.length);
    }

    std::vector<Row>::const_iterator firstNotBefore(std::span<const CommandKey> commands) const
    {
        return std::lower_bound(m_rows.begin(), m_rows.end(), commands, [this](const Row& row, auto key) {
            return std::ranges::lexicographical_compare(keysOf(row), key);
        });
    }

    std::vector<CommandKey> m_keys;
    std::vector<Row> m_rows;
    std::size_t m_longest = 0;
};

const CandidateTable& candidates()
{
    static const CandidateTable table;
    return table;
}

std::optional<CommandKey> commandKey(const DecodedFrame& f)
{
    if (f.kind != FrameKind::Clear && f.kind != FrameKind::Set)
        return std::nullopt;
    return packedCommand(f.kind == FrameKind::Set, f.switchNo, *maskValue(f.mask));
}

// One name for a setting everywhere: its label in the window.
std::string settingName(std::size_t step)
{
    return std::string(catalogue()[step].label);
}

// Keeps the whole decoding, for input held in memory.
class CollectingSink final : public DecodingSink
{
public:
    void frame(const DecodedFrame& frame, std::size_t index, const RecognisedSetting* setting) override
    {
        decoding.frames.push_back(frame);
        if (setting && index + 1 == setting->firstFrame + setting->frameCount)
            decoding.settings.push_back(*setting);
    }
    void otherBytes(const OtherBytes& run) override { decoding.otherBytes.push_back(run); }

    FrameDecoding decoding;
};

} // namespace

std::size_t FrameDecoding::otherByteCount() const
{
    std::size_t total = 0;
    for (const OtherBytes& run : otherBytes)
        total += run.count;
    return total;
}

void FrameStream::feed(std::string_view bytes)
{
    if (m_carry.empty()) {
        scan(bytes, false);
        return;
    }
    std::string joined = std::move(m_carry);
    m_carry.clear();
    joined.append(bytes);
    scan(joined, false);
}

void FrameStream::finish()
{
    const std::string rest = std::move(m_carry);
    m_carry.clear();
    scan(rest, true);
    closeRun();
    while (m_pendingFrames > 0)
        settleFirst();
    for (const auto& item : m_pending)
        m_sink.otherBytes(std::get<OtherBytes>(item));
    m_pending.clear();
}

void FrameStream::scan(std::string_view in, bool final)
{
    std::size_t at = 0;
    while (at < in.size()) {
        auto frame = frameAt(in, at);
        // Kept for the next piece only where a frame may begin, so that a whole frame is never
        // held back.
        if (!frame && !final && in.size() - at < kSwitchFrameSize && mayBeginFrame(in.substr(at))) {
            m_carry.assign(in.substr(at));
            break;
        }
        if (frame) {
            frame->offset = m_offset + at;
            at += frame->bytes.size();
            addFrame(std::move(*frame));
            continue;
        }
        if (m_run.count == 0)
            m_run.offset = m_offset + at;
        if (m_run.head.size() < OtherBytes::kHeadSize)
            m_run.head.push_back(in[at]);
        ++m_run.count;
        ++m_others;
        ++at;
    }
    m_offset += at;
}

void FrameStream::closeRun()
{
    if (m_run.count == 0)
        return;
    if (m_pendingFrames == 0)
        m_sink.otherBytes(m_run);
    else
        m_pending.emplace_back(m_run);
    m_run = {};
}

void FrameStream::addFrame(DecodedFrame frame)
{
    closeRun();
    m_pending.emplace_back(std::move(frame));
    ++m_pendingFrames;
    while (m_pendingFrames > 0 && (m_pendingFrames >= candidates().longest() || !pendingMayGrow()))
        settleFirst();
}

// Whether the frames held back may yet become a longer setting; if not, nothing that arrives
// later changes how they read, and they go to the sink at once.
bool FrameStream::pendingMayGrow() const
{
    std::vector<CommandKey> keys;
    for (const auto& item : m_pending)
        if (const auto* f = std::get_if<DecodedFrame>(&item)) {
            const auto key = commandKey(*f);
            if (!key)
                return false;
            keys.push_back(*key);
        }
    return candidates().extendable(keys);
}

// Longest match first, so that "clear 2 0030, set 2 0010" reads as one choice of the print
// speed and not as "Full Speed" followed by an unknown frame.
void FrameStream::settleFirst()
{
    while (std::holds_alternative<OtherBytes>(m_pending.front())) {
        m_sink.otherBytes(std::get<OtherBytes>(m_pending.front()));
        m_pending.pop_front();
    }
    std::vector<CommandKey> keys;
    for (const auto& item : m_pending) {
        const auto* f = std::get_if<DecodedFrame>(&item);
        if (!f)
            continue;
        const auto key = commandKey(*f);
        if (!key)
            break;
        keys.push_back(*key);
    }
    std::optional<RecognisedSetting> setting;
    for (std::size_t length = keys.size(); length > 0 && !setting; --length) {
        keys.resize(length);
        if (const SettingChoice* c = candidates().find(keys))
            setting = RecognisedSetting{c->step, m_frames, length,   settingName(c->step),
                                        c->text, c->entry, c->number};
    }
    std::size_t left = setting ? setting->frameCount : 1;
    if (setting)
        ++m_settings;
    while (left > 0) {
        if (const auto* f = std::get_if<DecodedFrame>(&m_pending.front())) {
            m_sink.frame(*f, m_frames++, setting ? &*setting : nullptr);
            --m_pendingFrames;
            --left;
        } else {
            m_sink.otherBytes(std::get<OtherBytes>(m_pending.front()));
        }
        m_pending.pop_front();
    }
}

FrameDecoding decodeFrames(std::string_view bytes)
{
    CollectingSink sink;
    FrameStream stream(sink);
    stream.feed(bytes);
    stream.finish();
    return std::move(sink.decoding);
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
            text.append("-").append(std::to_string(runs[i].second)); // not "-" + ...: GCC bug 105329
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
