// `qbx7config decode` reads any file a user names: the decoder must take arbitrary bytes.
#include "settings/framedecoder.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const qbx::FrameDecoding decoding = qbx::decodeFrames(bytes);
    std::size_t covered = decoding.otherByteCount();
    for (const qbx::DecodedFrame& frame : decoding.frames) {
        covered += frame.bytes.size();
        if (frame.offset + frame.bytes.size() > size ||
            bytes.substr(frame.offset, frame.bytes.size()) != frame.bytes)
            std::abort();
        (void)qbx::frameCommandText(frame);
        (void)qbx::bitsText(frame.mask);
    }
    // Every input byte is either in a frame or counted as another byte.
    if (covered != size)
        std::abort();
    // Read as a stream in pieces, as `decode` reads a file, it decodes the same.
    struct Counter final : qbx::DecodingSink
    {
        void frame(const qbx::DecodedFrame&, std::size_t, const qbx::RecognisedSetting*) override {}
        void otherBytes(const qbx::OtherBytes&) override {}
    } counter;
    qbx::FrameStream stream(counter);
    const std::size_t piece = size == 0 ? 1 : data[0] % 13 + 1;
    for (std::size_t at = 0; at < size; at += piece)
        stream.feed(bytes.substr(at, piece));
    stream.finish();
    if (stream.frameCount() != decoding.frames.size() || stream.settingCount() != decoding.settings.size() ||
        stream.otherByteCount() != decoding.otherByteCount() || stream.byteCount() != size)
        std::abort();
    return 0;
}
