// The limiter's gain computer. For each sample: the true peak around it (the oversampled
// points from PEAK_REACH samples before to PEAK_REACH after), the gain that keeps it at the
// ceiling, the least such gain over the look-ahead, released exponentially, then averaged
// over the look-ahead. The least gain over a window of the look-ahead's length, averaged
// over another, is never above what the window's first sample needs, so each sample's
// gain comes down in a straight line and is fully down when the sample leaves.
#include "media/PeakLimiter.h"
#include "media/FiniteSample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace quen {
namespace {

double fromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

// A released gain this close to unity is unity: below a float's resolution, and
// needed for a signal under the ceiling to come out bit for bit.
constexpr double UNITY_SNAP = 1e-7;

// The limiter aims this far under the ceiling. A gain that moves bends the waveform
// between samples a little past what the gain alone would give: by under 0.01 dB on
// noise, speech and square waves at up to 60 dB of gain.
constexpr double CEILING_MARGIN_DB = 0.02;

// Samples gained and read for peaks at a time.
constexpr std::size_t BLOCK = 1024;

}  // namespace

PeakLimiter::PeakLimiter(const LimiterSettings& settings)
    : gain_(fromDb(settings.gainDb)),
      ceiling_(static_cast<float>(fromDb(settings.ceilingDbfs - CEILING_MARGIN_DB))),
      lookAhead_(std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(
                                              settings.lookAheadSeconds * settings.sampleRate)))),
      release_(std::exp(-1.0 / std::max(1.0, settings.releaseSeconds * settings.sampleRate))),
      gained_(BLOCK),
      peaks_(BLOCK),
      needed_(lookAhead_),
      released_(lookAhead_, 1.0),
      delayLine_(Oversampler4x::DELAY + PEAK_REACH + lookAhead_, 0.0f) {}

void PeakLimiter::process(std::span<const float> input, std::vector<float>& output) {
    output.reserve(output.size() + input.size());
    for (std::size_t start = 0; start < input.size(); start += BLOCK) {
        const std::size_t count = std::min(BLOCK, input.size() - start);
        const std::span<const float> block = input.subspan(start, count);
        for (std::size_t i = 0; i < count; ++i) {
            gained_[i] = finiteOrSilence(static_cast<float>(block[i] * gain_));
        }
        taken_ += count;
        processBlock(std::span(gained_.data(), count), output);
    }
}

void PeakLimiter::finish(std::vector<float>& output) {
    const std::array<float, BLOCK> silence{};
    while (given_ < taken_) {
        processBlock(std::span(silence.data(), std::min(BLOCK, taken_ - given_)), output);
    }
}

double PeakLimiter::deepestReductionDb() const {
    return 20.0 * std::log10(deepestGain_);
}

void PeakLimiter::processBlock(std::span<const float> gained, std::vector<float>& output) {
    const std::span<float> peaks(peaks_.data(), gained.size());
    oversampler_.segmentPeaks(gained, peaks);
    for (std::size_t i = 0; i < gained.size(); ++i) {
        step(gained[i], peaks[i], output);
    }
}

double PeakLimiter::leastNeeded(float needed) {
    const std::size_t step = stepped_;
    const std::size_t capacity = needed_.size();
    // A newer gain as small or smaller overrules the older ones for the rest of their
    // time in the look-ahead.
    while (neededCount_ > 0 &&
           needed_[(neededFirst_ + neededCount_ - 1) % capacity].gain >= needed) {
        --neededCount_;
    }
    if (neededCount_ > 0 && needed_[neededFirst_].step + lookAhead_ <= step) {
        neededFirst_ = (neededFirst_ + 1) % capacity;
        --neededCount_;
    }
    needed_[(neededFirst_ + neededCount_) % capacity] = {step, needed};
    ++neededCount_;
    return needed_[neededFirst_].gain;
}

void PeakLimiter::step(float gained, float segmentPeak, std::vector<float>& output) {
    const std::size_t index = stepped_;
    delayLine_[index % delayLine_.size()] = gained;

    // The segments within reach of the sample DELAY + PEAK_REACH back.
    recentPeaks_[index % recentPeaks_.size()] = segmentPeak;
    const float peak = *std::max_element(recentPeaks_.begin(), recentPeaks_.end());
    const double held = leastNeeded(peak > ceiling_ ? ceiling_ / peak : 1.0f);
    ++stepped_;

    if (held < envelope_) {
        envelope_ = held;
    } else {
        envelope_ = held + release_ * (envelope_ - held);
        if (envelope_ > 1.0 - UNITY_SNAP) {
            envelope_ = 1.0;
        }
    }

    double& slot = released_[index % lookAhead_];
    releasedBelowUnity_ -= slot < 1.0 ? 1 : 0;
    releasedBelowUnity_ += envelope_ < 1.0 ? 1 : 0;
    slot = envelope_;
    // Summed afresh, not kept as a running sum: the rounding of a running sum would
    // outweigh gains far below unity.
    const double gain = releasedBelowUnity_ == 0
                            ? 1.0
                            : std::accumulate(released_.begin(), released_.end(), 0.0) /
                                  static_cast<double>(lookAhead_);

    const std::size_t latency = delayLine_.size() - 1;
    if (index < latency || given_ == taken_) {
        return;
    }
    // The oldest sample in the delay line is the one `latency` back.
    const float leaving = delayLine_[(index + 1) % delayLine_.size()];
    output.push_back(static_cast<float>(leaving * gain));
    deepestGain_ = std::min(deepestGain_, gain);
    ++given_;
}

}  // namespace quen
