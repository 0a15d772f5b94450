// Look-ahead true-peak limiter: applies a gain, then holds the signal's true peak (read
// four times oversampled) under a ceiling. The gain comes down over the look-ahead,
// reaching the needed depth before the peak arrives, and recovers smoothly, so speech is
// turned down at its peaks without clicks and without pumping. Streams over blocks in
// bounded memory; the same input gives the same output, however it is cut into blocks.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "dsp/Oversampler.h"

namespace quen {

// Checked by the caller: every value finite, the times positive and short (the
// look-ahead's memory grows with it).
struct LimiterSettings {
    double sampleRate = 8000.0;
    double gainDb = 0.0;  // applied before limiting
    double ceilingDbfs = -3.0;
    double lookAheadSeconds = 0.005;
    double releaseSeconds = 0.08;  // time constant of the recovery
};

class PeakLimiter {
  public:
    explicit PeakLimiter(const LimiterSettings& settings);

    // Appends the samples that leave the look-ahead; each call may give fewer samples
    // than it takes, and finish() gives the rest: one output per input, in order.
    void process(std::span<const float> input, std::vector<float>& output);
    void finish(std::vector<float>& output);

    // The deepest reduction below the gain so far, in dB (0 or negative).
    double deepestReductionDb() const;

  private:
    // Gains and limits one block of at most the oversampler's block.
    void processBlock(std::span<const float> input, std::vector<float>& output);
    // One sample through the gain computer: gives the sample leaving the look-ahead, if
    // it is one of the input's.
    void step(float gained, float segmentPeak, std::vector<float>& output);
    // The least gain needed over the look-ahead, the newest given.
    float leastNeeded(float needed);
    // The mean of the released gains over the look-ahead, the newest given.
    double meanReleased(double released);

    double gain_;
    float ceiling_;
    std::size_t lookAhead_;
    double release_;
    Oversampler4x oversampler_;
    std::vector<float> gained_;
    std::vector<float> peaks_;
    // Each sample's gain must hold the peaks this many samples to either side: the gain
    // moves, and a point between samples takes in its neighbours at their own gains.
    static constexpr std::size_t PEAK_REACH = 4;
    // The newest segment peaks, a ring.
    std::array<float, 2 * PEAK_REACH + 1> recentPeaks_{};
    std::size_t recentPosition_ = 0;
    // The gains needed over the look-ahead that a later, smaller one has not yet
    // overruled, oldest first, with the step each came in: a ring with room for all.
    struct Needed {
        std::size_t step;
        float gain;
    };
    std::vector<Needed> overruling_;
    std::size_t overrulingFirst_ = 0;
    std::size_t overrulingCount_ = 0;
    double envelope_ = 1.0;
    // Rings over the look-ahead, at one position: every gain needed (the oldest bounds
    // the mean against rounding), and the released gains whose mean is applied, with
    // their running sum.
    std::vector<float> needed_;
    std::vector<double> released_;
    std::size_t lookAheadPosition_ = 0;
    double releasedSum_;
    // The gained samples waiting for their gain.
    std::vector<float> delayLine_;
    std::size_t delayPosition_ = 0;
    std::size_t stepped_ = 0;  // samples through the pipeline, drained silence included
    std::size_t taken_ = 0;
    std::size_t given_ = 0;
    double deepestGain_ = 1.0;
};

}  // namespace quen
