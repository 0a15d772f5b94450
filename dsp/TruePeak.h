// True-peak meter: the largest magnitude of a recording between its samples as well as on
// them, read through the four-times oversampler, so a level that only a converter's output
// reaches still shows.
#pragma once

#include <span>

#include "dsp/Oversampler.h"

namespace quen {

class TruePeakMeter {
  public:
    void add(std::span<const float> samples);
    // Full scale 1.0. The last samples, still inside the interpolator, are read as if
    // silence followed them.
    double truePeak() const;
    // Minus infinity for silence.
    double truePeakDbfs() const;

  private:
    Oversampler4x oversampler_;
    float peak_ = 0.0f;
};

}  // namespace quen
