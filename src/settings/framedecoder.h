#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qbx {

// Reads back what the printer would receive: a settings file written by "Store Settings" to a
// file port, or any other bytes. Decoding never fails; whatever is not a whole frame is counted
// as other bytes, never kept, so a stream of any length decodes in bounded memory.

enum class FrameKind
{
    Clear,
    Set,
    Store,
    SelfTest
};

struct DecodedFrame
{
    FrameKind kind;
    std::size_t offset;   // of its first byte in the input
    std::string bytes;    // the whole frame, its final NUL included
    char switchNo = '\0'; // clear and set frames only
    std::string mask;     // clear and set frames only: the four digits as they were sent
};

// A run of bytes that belongs to no frame.
struct OtherBytes
{
    static constexpr std::size_t kHeadSize = 512;

    std::size_t offset = 0;
    std::size_t count = 0;
    std::string head; // its first bytes, up to kHeadSize
};

// Consecutive clear and set frames that are exactly what one catalogue setting sends for one of
// its choices.
struct RecognisedSetting
{
    std::size_t step;       // catalogue position
    std::size_t firstFrame; // index of its first frame among all frames of the input
    std::size_t frameCount;
    std::string name;   // "Code Page", "Cut Position"
    std::string choice; // "1252 (Windows Latin-1)", "-2.5 mm", "Custom 2.5s"
    int entry = 0;      // the list's entry; 0 for the cut offset
    int number = 0;     // quarter millimetres of the cut offset, half seconds of a custom delay
};

// Receives the decoding in input order. A frame comes with the setting it belongs to, if any;
// the setting is complete at its last frame.
class DecodingSink
{
public:
    virtual ~DecodingSink() = default;
    virtual void frame(const DecodedFrame& frame, std::size_t index, const RecognisedSetting* setting) = 0;
    virtual void otherBytes(const OtherBytes& run) = 0;
};

// Decodes bytes as they arrive, in pieces of any size. What it holds back is bounded: the
// start of a frame cut by the end of a piece, and the few frames that may still form a setting.
class FrameStream
{
public:
    explicit FrameStream(DecodingSink& sink)
        : m_sink(sink)
    {}

    void feed(std::string_view bytes);
    // The end of the input: what was held back goes to the sink.
    void finish();

    std::size_t frameCount() const { return m_frames; }
    std::size_t settingCount() const { return m_settings; }
    std::size_t otherByteCount() const { return m_others; }
    std::size_t byteCount() const { return m_offset + m_carry.size(); }

private:
    void scan(std::string_view bytes, bool final);
    void addFrame(DecodedFrame frame);
    void closeRun();
    // Hands the first undecided frame to the sink, with its setting's frames if it starts one.
    void settleFirst();
    bool pendingMayGrow() const;

    DecodingSink& m_sink;
    std::string m_carry;      // the end of the last piece, which may begin a frame
    std::size_t m_offset = 0; // of m_carry's first byte
    OtherBytes m_run;         // the run of other bytes still growing
    std::deque<std::variant<OtherBytes, DecodedFrame>> m_pending;
    std::size_t m_pendingFrames = 0;
    std::size_t m_frames = 0;
    std::size_t m_settings = 0;
    std::size_t m_others = 0;
};

struct FrameDecoding
{
    std::vector<DecodedFrame> frames;
    std::vector<OtherBytes> otherBytes; // in input order
    std::vector<RecognisedSetting> settings;

    std::size_t otherByteCount() const;
};

// The whole decoding of bytes held in memory.
FrameDecoding decodeFrames(std::string_view bytes);

// "clear 1 000F", "set 6 0004", "store", "self-test".
std::string frameCommandText(const DecodedFrame& frame);

// The bits that a mask names: "bit 4", "bits 0-3", "bits 0-1, 3", "no bits".
std::string bitsText(std::string_view mask);

// The value of a mask's four hexadecimal digits, in either case; none for any other text.
std::optional<unsigned> maskValue(std::string_view mask);

// "1B 1D 23": upper-case hexadecimal, one blank between bytes.
std::string hexBytesText(std::string_view bytes);

} // namespace qbx
