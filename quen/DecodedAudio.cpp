// G.711 through the library's expansion tables, G.723.1 through libavcodec.
#include "quen/DecodedAudio.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include "codec/CodecCodes.h"
#include "codec/G711Decoder.h"
#include "media/G723Decoder.h"

namespace quen::tool {
namespace {

// Taken from the expansion itself, so there is one copy of the codec's range.
void setG711Range(std::int32_t cpType, DecodedAudio& audio) {
    std::vector<std::int16_t> all;
    std::array<std::uint8_t, 256> codes{};
    std::iota(codes.begin(), codes.end(), std::uint8_t{0});
    decodeG711(codes, cpType, all);
    audio.lowest = *std::min_element(all.begin(), all.end());
    audio.highest = *std::max_element(all.begin(), all.end());
}

}  // namespace

Result<DecodedAudio> decodeAudio(const DataFileContents& contents) {
    if (contents.cpType != CP_TYPE_G723) {
        DecodedAudio audio;
        setG711Range(contents.cpType, audio);
        audio.samples.reserve(contents.streamBytes);
        for (const auto payload : contents.payloads) {
            decodeG711(payload, contents.cpType, audio.samples);
        }
        return audio;
    }
    // G.723.1 is small (800 bytes a second): decoded from one joined stream.
    std::vector<std::uint8_t> stream;
    stream.reserve(contents.streamBytes);
    for (const auto payload : contents.payloads) {
        stream.insert(stream.end(), payload.begin(), payload.end());
    }
    auto decoded = decodeG723(stream);
    if (!decoded) {
        return decoded.failure();
    }
    return DecodedAudio{std::move(decoded->samples), decoded->failedFrames};
}

}  // namespace quen::tool
