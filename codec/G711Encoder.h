// G.711 mu-law and A-law encoding, one code byte per 16-bit sample, with the
// quantisation this system has always used (segment 0 rounds down, unlike the
// textbook coder).
#pragma once

#include <cstdint>
#include <span>

namespace quen {

std::uint8_t linearToMuLaw(std::int16_t sample);
std::uint8_t linearToALaw(std::int16_t sample);

class G711Encoder {
  public:
    // Encodes the little-endian samples of `pcm` (any alignment) into `out`, which
    // holds at least pcm.size() / 2 bytes: mu-law when `cpType` is 138, A-law for any
    // other code. An odd last byte is not a sample. Returns pcm.size() / 2.
    std::int32_t encodeBuffer(std::span<const std::uint8_t> pcm, std::span<std::uint8_t> out,
                              std::int32_t cpType) const;
};

}  // namespace quen
