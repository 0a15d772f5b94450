// Each codec's own decoder, packet payload by packet payload.
#include "quen/DecodedAudio.h"

#include "codec/Decoder.h"

namespace quen::tool {

Result<DecodedAudio> decodeAudio(const DataFileContents& contents) {
    auto decoder = makeDecoder(contents.codec);
    if (!decoder) {
        return decoder.failure();
    }
    DecodedAudio audio;
    audio.lowest = (*decoder)->lowest();
    audio.highest = (*decoder)->highest();
    audio.samples.reserve(contents.streamBytes);
    for (const auto payload : contents.payloads) {
        (*decoder)->decode(payload, audio.samples);
    }
    audio.failedFrames = (*decoder)->refusedFrames();
    return audio;
}

}  // namespace quen::tool
