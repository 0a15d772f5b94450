// The levels a person checks before a recording goes live: peak and RMS in dBFS, the
// DC offset, and the silence at either end.
#pragma once

#include <cstdint>
#include <span>

namespace quen {

constexpr double SILENCE_THRESHOLD_DBFS = -50.0;

struct AudioLevels {
    std::size_t samples = 0;
    // Relative to a full-scale 32768; minus infinity for all-zero (or no) audio.
    double peakDbfs = 0;
    double rmsDbfs = 0;
    // The mean of the samples on full scale 1.0 (32768): an offset from the recorder's
    // converter, inaudible but eating headroom. 0 for no audio.
    double dcOffset = 0;
    // Samples before the first, and after the last, whose magnitude reaches the
    // threshold; audio that never reaches it is silent throughout and counts whole in
    // both.
    std::size_t leadingSilence = 0;
    std::size_t trailingSilence = 0;
};

AudioLevels measureLevels(std::span<const std::int16_t> samples);

}  // namespace quen
