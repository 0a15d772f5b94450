// The one entry from a recording's samples to a compressed stream, block by block: the
// codec that `cpType` names, G.723.1 through the compression manager, G.711 by the
// program's own encoder. Memory stays that of one block, whatever the recording.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codec/CodecCodes.h"
#include "platform/LogSink.h"

namespace quen {

class G723AcmEncoder;

class WaveCompressor {
  public:
    // PCM bytes per call that keep G.723.1 blocks and 16-bit samples whole: 128 blocks.
    static constexpr std::size_t INPUT_BLOCK_BYTES = 128 * G723_BLOCK_BYTES;

    // `cpType` 139 selects G.723.1 and opens its stream (a refusal goes to `log`), 138
    // mu-law and any other value A-law.
    WaveCompressor(std::int32_t cpType, LogSink& log);
    ~WaveCompressor();
    WaveCompressor(const WaveCompressor&) = delete;
    WaveCompressor& operator=(const WaveCompressor&) = delete;

    // Compresses the next samples: INPUT_BLOCK_BYTES of them, or fewer at the end of the
    // recording, where a part-block (G.723.1) or an odd byte (G.711) is dropped. The
    // bytes returned stay valid until the next call.
    std::span<const std::uint8_t> compress(std::span<const std::uint8_t> pcm);

    // Ends the stream; false when the codec reported a failure, whose messages are in
    // the log. What it made is then not to be used.
    bool finish();

  private:
    std::int32_t cpType_;
    std::unique_ptr<G723AcmEncoder> g723_;
    std::vector<std::uint8_t> out_;
};

}  // namespace quen
