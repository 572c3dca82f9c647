#pragma once

#include "settings/framedecoder.h"

#include <QJsonObject>

#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>

namespace qbx::cli {

class Console;

// `decode`: each frame with its offset, switch and bits, each recognised setting after its
// frames and the runs of other bytes where they stand, printed as they are decoded; the count
// comes from summaryLine() at the end.
class DecodingPrinter final : public DecodingSink
{
public:
    explicit DecodingPrinter(std::ostream& out)
        : m_out(out)
    {}
    void frame(const DecodedFrame& frame, std::size_t index, const RecognisedSetting* setting) override;
    void otherBytes(const OtherBytes& run) override;

private:
    std::ostream& m_out;
};

// `decode --json`: the same as the items of one JSON array, written as they are decoded so that
// no input is too long for memory. The caller writes what stands around the array.
class DecodingJsonWriter final : public DecodingSink
{
public:
    explicit DecodingJsonWriter(std::ostream& out)
        : m_out(out)
    {}
    void frame(const DecodedFrame& frame, std::size_t index, const RecognisedSetting* setting) override;
    void otherBytes(const OtherBytes& run) override;

private:
    void item(const std::string& json);

    std::ostream& m_out;
    bool m_first = true;
    // A frame's JSON around its offset, by what else it holds: a settings file repeats few
    // frames, and building each anew would take most of the time. Emptied when it grows.
    std::unordered_map<std::string, std::pair<std::string, std::string>> m_shapes;
};

// "3 frames, 2 settings, 10 other bytes"
std::string summaryLine(const FrameStream& stream);

// `store --dry-run`: one line per frame, its bytes in hexadecimal and what it does, or one JSON
// document with the frames.
void printDryRun(const FrameDecoding& decoding, Console& console, const QJsonObject& more = {});

} // namespace qbx::cli
