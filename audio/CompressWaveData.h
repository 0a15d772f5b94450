// The one entry from located WAV samples to a compressed stream: size and allocate the
// output, run the codec that `cpType` names.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/LogSink.h"

namespace quen {

// The output buffer as allocated and the count of valid bytes at its start. The
// G.711 buffer has one byte more than the stream when the data length is odd.
struct CompressedAudio {
    std::vector<std::uint8_t> buffer;
    std::int32_t length = 0;
    // The G.723.1 codec reported a failure (its message is in the error log); the
    // buffer then holds only what came before the failure and must not be used.
    bool codecFailed = false;

    std::span<const std::uint8_t> stream() const {
        return std::span<const std::uint8_t>(buffer).first(static_cast<std::size_t>(length));
    }
};

// `pcm`: the data chunk's bytes as locateWaveData found them. Empty when the buffer
// could not be allocated, after the reason was written to `log`. `cpType` 139 selects
// G.723.1, 138 mu-law and any other value A-law.
std::optional<CompressedAudio> compressWaveData(std::span<const std::uint8_t> pcm,
                                                std::int32_t cpType, LogSink& log);

}  // namespace quen
