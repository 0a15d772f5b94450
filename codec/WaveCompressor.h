// The one entry from a recording's samples to a compressed stream, block by block, in
// the codec asked for. Memory stays that of one block, whatever the recording.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codec/Codec.h"
#include "codec/Encoder.h"

namespace quen {

class WaveCompressor {
  public:
    // PCM bytes per call that keep every codec's units whole: 128 G.723.1 blocks.
    static constexpr std::size_t INPUT_BLOCK_BYTES = 128 * wholeUnitsBytes();

    // Starts the codec's stream; a codec that cannot start compresses nothing, and
    // finish() tells why.
    explicit WaveCompressor(Codec codec);

    // Compresses the next samples: INPUT_BLOCK_BYTES of them, or fewer at the end of the
    // recording, where a part-unit (a part-block of G.723.1, an odd byte of G.711) is
    // dropped. The bytes returned stay valid until the next call.
    std::span<const std::uint8_t> compress(std::span<const std::uint8_t> pcm);

    // Ends the stream: the codec's failures in the order they happened, if it had any.
    // What it made is then not to be used.
    Result<void, CodecFailures> finish();

  private:
    std::unique_ptr<Encoder> encoder_;
    std::vector<std::uint8_t> out_;
};

}  // namespace quen
