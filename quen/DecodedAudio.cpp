// Each codec's own decoder, packet payload by packet payload.
#include "quen/DecodedAudio.h"

#include "codec/Codec.h"
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
    // Every sample the payloads' whole units give, so that the samples are never copied
    // to a larger vector on the way.
    const CodecFacts facts = codecFacts(contents.codec);
    std::size_t count = 0;
    for (const auto payload : contents.payloads) {
        count += payload.size() / facts.unitCodedBytes() * facts.unitSamples;
    }
    audio.samples.reserve(count);
    for (const auto payload : contents.payloads) {
        (*decoder)->decode(payload, audio.samples);
    }
    audio.failedFrames = (*decoder)->refusedFrames();
    return audio;
}

}  // namespace quen::tool
