// y[n] = g * (x[n] - x[n-1]) + p * y[n-1], with the pole p set by the cutoff.
#include "dsp/DcBlocker.h"
#include "dsp/FiniteSample.h"

#include <cmath>
#include <numbers>

namespace quen {

DcBlocker::DcBlocker(double sampleRate, double cutoffHz)
    : pole_(std::exp(-2.0 * std::numbers::pi * cutoffHz / sampleRate)),
      gain_((1.0 + pole_) / 2.0) {}

void DcBlocker::process(std::span<float> samples) {
    if (!primed_ && !samples.empty()) {
        previousInput_ = finiteOrSilence(samples.front());
        primed_ = true;
    }
    for (float& sample : samples) {
        const double input = finiteOrSilence(sample);
        previousOutput_ = gain_ * (input - previousInput_) + pole_ * previousOutput_;
        previousInput_ = input;
        sample = static_cast<float>(previousOutput_);
    }
}

}  // namespace quen
