// G.711 expansion: each A-law or mu-law code byte back to a 16-bit sample, the
// standard decoder's value in the middle of the code's quantisation step.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quen {

std::int16_t aLawToLinear(std::uint8_t code);
std::int16_t muLawToLinear(std::uint8_t code);

// Appends one sample per code byte to `samples`: mu-law when `cpType` is 138, A-law
// for any other code (the encoder's rule).
void decodeG711(std::span<const std::uint8_t> codes, std::int32_t cpType,
                std::vector<std::int16_t>& samples);

}  // namespace quen
