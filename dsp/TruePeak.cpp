// Feeds the oversampler a block at a time and keeps the largest peak; the reading drains
// a copy of it.
#include "dsp/TruePeak.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quen {
namespace {

constexpr std::size_t BLOCK = 1024;

float largestPeak(Oversampler4x& oversampler, std::span<const float> samples, float peak) {
    std::array<float, BLOCK> peaks;
    for (std::size_t start = 0; start < samples.size(); start += BLOCK) {
        const std::size_t count = std::min(BLOCK, samples.size() - start);
        oversampler.segmentPeaks(samples.subspan(start, count), std::span(peaks.data(), count));
        peak = std::max(peak, *std::max_element(peaks.begin(), peaks.begin() + count));
    }
    return peak;
}

}  // namespace

void TruePeakMeter::add(std::span<const float> samples) {
    peak_ = largestPeak(oversampler_, samples, peak_);
}

double TruePeakMeter::truePeak() const {
    Oversampler4x drain = oversampler_;
    const std::array<float, Oversampler4x::DELAY> silence{};
    return largestPeak(drain, silence, peak_);
}

double TruePeakMeter::truePeakDbfs() const {
    return 20.0 * std::log10(truePeak());
}

}  // namespace quen
