// How the sound processing reads a floating-point sample that is not a number or is
// infinite, as a damaged or hostile file can hold: as silence, so one such sample
// neither poisons a filter's state for the rest of the recording nor reaches the 16-bit
// conversion.
#pragma once

#include <cmath>

namespace quen {

inline float finiteOrSilence(float sample) {
    return std::isfinite(sample) ? sample : 0.0f;
}

}  // namespace quen
