// The peak and the true peak of a recording as it was stored: over every channel, on the
// source's own samples at its own rate, before mixing and resampling change them. What
// every report of a source's peaks gives, so that one file reads the same everywhere.
#pragma once

#include <cmath>
#include <vector>

#include "dsp/TruePeak.h"

struct AVFrame;

namespace quen {

struct PeakFigures {
    double peak = 0.0;      // the largest sample magnitude, full scale 1.0
    double truePeak = 0.0;  // the largest between the samples as well, full scale 1.0

    // Minus infinity for silence.
    double peakDbfs() const { return 20.0 * std::log10(peak); }
    double truePeakDbfs() const { return 20.0 * std::log10(truePeak); }
};

class SourcePeaks {
  public:
    void add(const AVFrame& frame);
    PeakFigures result() const;

  private:
    std::vector<TruePeakMeter> meters_;  // one a channel
    // Zeros last given to each meter: past its history's length, more zeros cannot
    // raise its peak or change its state, and are not given to it (digital silence
    // costs no interpolation).
    std::vector<std::size_t> zeroTails_;
    PeakFigures earlier_;  // of meters for an earlier layout
    float peak_ = 0.0f;
    std::vector<float> channel_;
};

}  // namespace quen
