// G.723.1 decoding through libavcodec's `g723_1` decoder: 24-byte frames of 6.3 kbit/s
// in, 240 samples of 16-bit PCM at 8000 samples/s per frame out.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Result.h"

namespace quen {

struct G723Decoded {
    std::vector<std::int16_t> samples;
    // Frames the decoder refused; each stands as 30 ms of silence in `samples`, so the
    // time line of the rest is kept.
    std::size_t failedFrames = 0;
};

// Decodes every whole 24-byte frame of `stream`; a trailing part-frame is not decoded.
// A failure when the decoder cannot be opened at all.
Result<G723Decoded> decodeG723(std::span<const std::uint8_t> stream);

}  // namespace quen
