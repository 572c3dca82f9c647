#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qbx {

// Reads back what the printer would receive: a settings file written by "Store Settings" to a
// file port, or any other bytes. Decoding never fails; whatever is not a whole frame is counted
// as other bytes.

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
    std::size_t offset;
    std::size_t count;
};

// Consecutive clear and set frames that are exactly what one catalogue setting sends for one of
// its choices.
struct RecognisedSetting
{
    std::size_t step;       // catalogue position
    std::size_t firstFrame; // index into FrameDecoding::frames
    std::size_t frameCount;
    std::string name;   // "Code Page", "Cut Position"
    std::string choice; // "1252 (Windows Latin-1)", "-2.5 mm", "Custom 2.5s"
};

struct FrameDecoding
{
    std::vector<DecodedFrame> frames;
    std::vector<OtherBytes> otherBytes; // in input order
    std::vector<RecognisedSetting> settings;

    std::size_t otherByteCount() const;
};

FrameDecoding decodeFrames(std::string_view bytes);

// "clear 1 000F", "set 6 0004", "store", "self-test".
std::string frameCommandText(const DecodedFrame& frame);

// The bits that a mask names: "bit 4", "bits 0-3", "bits 0-1, 3", "no bits".
std::string bitsText(std::string_view mask);

// "1B 1D 23": upper-case hexadecimal, one blank between bytes.
std::string hexBytesText(std::string_view bytes);

} // namespace qbx
