// Clipping: every sample at the source's full scale, and the runs of consecutive ones a
// listener hears. A single full-scale sample may be a loud peak; three in a row are a
// waveform cut off. Streams over blocks; a run that crosses a block's end counts once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quen {

// The shortest run that counts.
constexpr std::size_t CLIPPING_RUN_MIN_SAMPLES = 3;

struct ClippingRuns {
    std::size_t runs = 0;
    std::size_t samples = 0;  // in the runs counted
    // Every sample at full scale, in runs or not: a source limited to short runs of
    // one or two is still clipped.
    std::size_t fullScaleSamples = 0;
};

class ClippingRunCounter {
  public:
    // Samples at or below `lowest`, or at or above `highest`, are at full scale. A run
    // stays on one side: a sign change starts a new one.
    ClippingRunCounter(double lowest, double highest);
    // +/-1.0, for sources decoded to floating point.
    static ClippingRunCounter forFloat();

    void add(std::span<const std::int16_t> samples);
    void add(std::span<const float> samples);
    // Includes the run at the end so far.
    ClippingRuns result() const;

  private:
    void addSample(double sample);
    void closeRun();

    double lowest_;
    double highest_;
    int runSide_ = 0;  // -1 low, +1 high, 0 none
    std::size_t runLength_ = 0;
    ClippingRuns closed_;
};

}  // namespace quen
