// The levels a person checks before a recording goes live: peak and RMS in dBFS, and
// the silence at either end.
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
    // Samples before the first, and after the last, whose magnitude reaches the
    // threshold; audio that never reaches it is silent throughout and counts whole in
    // both.
    std::size_t leadingSilence = 0;
    std::size_t trailingSilence = 0;
};

AudioLevels measureLevels(std::span<const std::int16_t> samples);

}  // namespace quen
