#include "framereport.h"

#include <string>
#include <vector>

namespace qbx::cli {
namespace {

std::string plural(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string frameMeaning(const DecodedFrame& f)
{
    switch (f.kind) {
    case FrameKind::Clear:
        return "clear switch " + std::string(1, f.switchNo) + ", " + bitsText(f.mask) + " (" + f.mask + ")";
    case FrameKind::Set:
        return "set switch " + std::string(1, f.switchNo) + ", " + bitsText(f.mask) + " (" + f.mask + ")";
    case FrameKind::Store:
        return "store: the printer keeps its switch values";
    case FrameKind::SelfTest:
        return "self-test: the printer prints its self-test page";
    }
    return {};
}

// For each frame, the recognised setting it belongs to, if any.
std::vector<const RecognisedSetting*> settingOfFrame(const FrameDecoding& decoding)
{
    std::vector<const RecognisedSetting*> owner(decoding.frames.size(), nullptr);
    for (const RecognisedSetting& s : decoding.settings)
        for (std::size_t i = s.firstFrame; i < s.firstFrame + s.frameCount && i < owner.size(); ++i)
            owner[i] = &s;
    return owner;
}

} // namespace

void printDecoding(const FrameDecoding& decoding, std::ostream& out)
{
    const auto owner = settingOfFrame(decoding);
    auto other = decoding.otherBytes.begin();
    const auto printOthersBefore = [&](std::size_t offset) {
        for (; other != decoding.otherBytes.end() && other->offset < offset; ++other)
            out << plural(other->count, "other byte", "other bytes") << " at byte " << other->offset << '\n';
    };
    for (std::size_t i = 0; i < decoding.frames.size(); ++i) {
        const DecodedFrame& f = decoding.frames[i];
        printOthersBefore(f.offset);
        out << "frame " << i + 1 << " at byte " << f.offset << ": " << frameMeaning(f) << '\n';
        const RecognisedSetting* s = owner[i];
        if (s && i + 1 == s->firstFrame + s->frameCount)
            out << "    " << s->name << " = " << s->choice << '\n';
    }
    printOthersBefore(std::string::npos);
    out << plural(decoding.frames.size(), "frame", "frames") << ", "
        << plural(decoding.settings.size(), "setting", "settings") << ", "
        << plural(decoding.otherByteCount(), "other byte", "other bytes") << '\n';
}

void printDryRun(const FrameDecoding& decoding, std::ostream& out)
{
    const auto owner = settingOfFrame(decoding);
    for (std::size_t i = 0; i < decoding.frames.size(); ++i) {
        const DecodedFrame& f = decoding.frames[i];
        out << hexBytesText(f.bytes) << "  " << frameCommandText(f);
        if (const RecognisedSetting* s = owner[i]) {
            out << "  " << s->name;
            if (i + 1 == s->firstFrame + s->frameCount)
                out << " = " << s->choice;
        }
        out << '\n';
    }
}

} // namespace qbx::cli
