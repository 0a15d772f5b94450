// The last step to 16-bit samples: triangular (TPDF) dither of one step peak, so the
// rounding error is noise independent of the signal instead of distortion that
// follows it. The noise sequence is fixed, so the same input gives the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dsp/SampleBlocks.h"

namespace quen {

// Streams: the noise goes on where the last block left it, so the bytes do not depend
// on how the samples are cut into blocks.
class Ditherer {
  public:
    // Multiplies by `gain`, then maps full scale 1.0 to 32767; values beyond it are
    // clamped. Appends to `output`.
    void add(std::span<const float> samples, double gain, std::vector<std::int16_t>& output);

  private:
    std::uint32_t state_ = 0x9E3779B9u;
};

// The float samples are released block by block as they are converted.
std::vector<std::int16_t> ditherTo16Bit(SampleBlocks&& samples, double gain = 1.0);

}  // namespace quen
