// G.723.1 at 6.3 kbit/s through the compression stream layer: one 480-byte PCM block
// in, one 24-byte frame out, with the frame-kind checks of the codec's output.
#pragma once

#include <cstdint>

namespace quen {

class G723AcmEncoder {
public:
    // Encodes `frameCount` consecutive 480-byte blocks from `pcm` into `out` (room for
    // 24 bytes per block). Returns the bytes written, 0 on failure.
    std::int32_t encodeAll(const std::uint8_t* pcm, std::uint32_t dataLength, std::uint8_t* out,
                           std::uint32_t frameCount);

    // True when the codec reported any failure during the last encodeAll (its message
    // is already in the error log); the count alone does not tell.
    bool failed() const { return failed_; }

private:
    bool failed_ = false;
};

}  // namespace quen
