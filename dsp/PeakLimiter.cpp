// The limiter's gain computer. For each sample: the true peak around it (the oversampled
// points from PEAK_REACH samples before to PEAK_REACH after), the gain that keeps it at the
// ceiling, the least such gain over the look-ahead, released exponentially, then averaged
// over the look-ahead. The least gain over a window of the look-ahead's length, averaged
// over another, is never above what the window's first sample needs, so each sample's
// gain comes down in a straight line and is fully down when the sample leaves.
#include "dsp/PeakLimiter.h"
#include "dsp/FiniteSample.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quen {
namespace {

double fromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

// The limiter aims this far under the ceiling. A gain that moves bends the waveform
// between samples a little past what the gain alone would give: by under 0.01 dB on
// noise, speech and square waves at up to 60 dB of gain.
constexpr double CEILING_MARGIN_DB = 0.02;

// The next position in a ring of `size`, from one past the last.
std::size_t wrap(std::size_t position, std::size_t size) {
    return position >= size ? position - size : position;
}

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
      overruling_(lookAhead_),
      needed_(lookAhead_, 1.0f),
      released_(lookAhead_, 1.0),
      releasedSum_(static_cast<double>(lookAhead_)),
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

float PeakLimiter::leastNeeded(float needed) {
    const std::size_t capacity = overruling_.size();
    // A newer gain as small or smaller overrules the older ones for the rest of their
    // time in the look-ahead.
    while (overrulingCount_ > 0 &&
           overruling_[wrap(overrulingFirst_ + overrulingCount_ - 1, capacity)].gain >= needed) {
        --overrulingCount_;
    }
    if (overrulingCount_ > 0 && overruling_[overrulingFirst_].step + lookAhead_ <= stepped_) {
        overrulingFirst_ = wrap(overrulingFirst_ + 1, capacity);
        --overrulingCount_;
    }
    overruling_[wrap(overrulingFirst_ + overrulingCount_, capacity)] = {stepped_, needed};
    ++overrulingCount_;
    return overruling_[overrulingFirst_].gain;
}

double PeakLimiter::meanReleased(double released) {
    double& slot = released_[lookAheadPosition_];
    releasedSum_ += released - slot;
    slot = released;
    // The mean never exceeds what the oldest sample needs; the running sum's rounding
    // could, for gains far below unity, and is held to it. (Near unity the rounding is
    // far below a float's resolution: a signal under the ceiling passes bit for bit.)
    return std::clamp(releasedSum_ / static_cast<double>(lookAhead_), 0.0,
                      static_cast<double>(needed_[wrap(lookAheadPosition_ + 1, lookAhead_)]));
}

void PeakLimiter::step(float gained, float segmentPeak, std::vector<float>& output) {
    delayLine_[delayPosition_] = gained;
    delayPosition_ = wrap(delayPosition_ + 1, delayLine_.size());

    // The segments within reach of the sample DELAY + PEAK_REACH back.
    recentPeaks_[recentPosition_] = segmentPeak;
    recentPosition_ = wrap(recentPosition_ + 1, recentPeaks_.size());
    const float peak = *std::max_element(recentPeaks_.begin(), recentPeaks_.end());
    const float needed = peak > ceiling_ ? ceiling_ / peak : 1.0f;
    needed_[lookAheadPosition_] = needed;
    const double held = leastNeeded(needed);

    if (held < envelope_) {
        envelope_ = held;
    } else {
        envelope_ = held + release_ * (envelope_ - held);
    }
    const double gain = meanReleased(envelope_);
    lookAheadPosition_ = wrap(lookAheadPosition_ + 1, lookAhead_);

    const std::size_t latency = delayLine_.size() - 1;
    if (stepped_++ < latency || given_ == taken_) {
        return;
    }
    // The oldest sample in the delay line, `latency` back, is where the next will go.
    output.push_back(static_cast<float>(delayLine_[delayPosition_] * gain));
    deepestGain_ = std::min(deepestGain_, gain);
    ++given_;
}

}  // namespace quen
