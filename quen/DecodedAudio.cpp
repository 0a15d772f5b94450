// G.711 through the library's expansion tables, G.723.1 through libavcodec.
#include "quen/DecodedAudio.h"

#include <vector>

#include "audio/CodecCodes.h"
#include "audio/G711Decoder.h"
#include "media/G723Decoder.h"

namespace quen::tool {

std::optional<DecodedAudio> decodeAudio(const DataFileContents& contents, std::string& error) {
    if (contents.cpType != CP_TYPE_G723) {
        DecodedAudio audio;
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
    auto decoded = decodeG723(stream, error);
    if (!decoded) {
        return std::nullopt;
    }
    return DecodedAudio{std::move(decoded->samples), decoded->failedFrames};
}

}  // namespace quen::tool
