// Why a codec's stream failed: each failure with its error code or its count of frames.
// A stream records them in the order they happened; the jobs word them for the log.
#pragma once

#include <cstdint>
#include <vector>

namespace quen {

struct CodecFailure {
    enum class Kind : std::uint8_t {
        NotOpened,      // no encoder state: the module did not load or refused one; a code
        BlockRefused,   // the codec failed on a block, and coding stopped there; a code
        SilenceFrames,  // silence-description frames were made; their count
        LowRateFrames,  // 5.3 kbit/s frames were made, and no silence; their count
    };
    Kind kind = Kind::NotOpened;
    // The error code of NotOpened and BlockRefused, the frames counted of the others.
    std::int64_t number = 0;

    bool operator==(const CodecFailure&) const = default;
};

// A failed stream's failures, never empty, in the order they happened.
using CodecFailures = std::vector<CodecFailure>;

}  // namespace quen
