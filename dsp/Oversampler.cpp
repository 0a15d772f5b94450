// The interpolator's coefficients (a sinc under a Kaiser window, each phase scaled to unit
// gain at DC) and the polyphase filter that runs them, a block at a time so the inner loop
// runs over neighbouring outputs and vectorises.
#include "dsp/Oversampler.h"
#include "dsp/FiniteSample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace quen {
namespace {

// Side lobes near -60 dB, and a pass band reaching 0.88 of the input's Nyquist
// frequency, past the top of the telephone band.
constexpr double KAISER_BETA = 6.0;

constexpr std::size_t TAPS = Oversampler4x::TAPS_PER_PHASE;
constexpr std::size_t FACTOR = Oversampler4x::FACTOR;
constexpr std::size_t BLOCK = 1024;

// coefficients[p][k]: the weight of buffer sample k (oldest first) in the point of phase
// p. Phase 0 falls on a sample and needs no filter.
using Coefficients = std::array<std::array<float, TAPS>, FACTOR>;

Coefficients designCoefficients() {
    const double halfSpan = static_cast<double>(TAPS) / 2.0;
    const double windowScale = 1.0 / std::cyl_bessel_i(0.0, KAISER_BETA);
    Coefficients coefficients{};
    for (std::size_t phase = 1; phase < FACTOR; ++phase) {
        std::array<double, TAPS> weights{};
        double sum = 0.0;
        for (std::size_t k = 0; k < TAPS; ++k) {
            // Distance, in samples, from the point to buffer sample k: the point lies
            // `phase` quarters after sample TAPS - 1 - DELAY.
            const double t = static_cast<double>(TAPS - 1 - Oversampler4x::DELAY) +
                             static_cast<double>(phase) / static_cast<double>(FACTOR) -
                             static_cast<double>(k);
            const double sinc = std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
            const double u = t / halfSpan;
            const double window =
                std::cyl_bessel_i(0.0, KAISER_BETA * std::sqrt(std::max(0.0, 1.0 - u * u))) *
                windowScale;
            weights[k] = sinc * window;
            sum += weights[k];
        }
        for (std::size_t k = 0; k < TAPS; ++k) {
            coefficients[phase][k] = static_cast<float>(weights[k] / sum);
        }
    }
    return coefficients;
}

const Coefficients& coefficients() {
    static const Coefficients table = designCoefficients();
    return table;
}

}  // namespace

Oversampler4x::Oversampler4x() : buffer_(TAPS - 1 + BLOCK, 0.0f), points_(BLOCK) {}

void Oversampler4x::segmentPeaks(std::span<const float> input, std::span<float> peaks) {
    for (std::size_t start = 0; start < input.size(); start += BLOCK) {
        const std::size_t count = std::min(BLOCK, input.size() - start);
        segmentPeaksOfBlock(input.subspan(start, count), peaks.subspan(start, count));
    }
}

void Oversampler4x::segmentPeaksOfBlock(std::span<const float> input, std::span<float> peaks) {
    const std::size_t count = input.size();
    std::transform(input.begin(), input.end(), buffer_.begin() + (TAPS - 1), finiteOrSilence);
    // Output n's newest sample is buffer_[n + TAPS - 1]; the one DELAY back is its point
    // of phase 0.
    for (std::size_t n = 0; n < count; ++n) {
        peaks[n] = std::fabs(buffer_[n + TAPS - 1 - DELAY]);
    }
    const Coefficients& table = coefficients();
    for (std::size_t phase = 1; phase < FACTOR; ++phase) {
        std::fill_n(points_.begin(), count, 0.0f);
        for (std::size_t k = 0; k < TAPS; ++k) {
            const float weight = table[phase][k];
            const float* samples = buffer_.data() + k;
            for (std::size_t n = 0; n < count; ++n) {
                points_[n] += weight * samples[n];
            }
        }
        for (std::size_t n = 0; n < count; ++n) {
            peaks[n] = std::max(peaks[n], std::fabs(points_[n]));
        }
    }
    std::copy(buffer_.begin() + count, buffer_.begin() + count + (TAPS - 1), buffer_.begin());
}

}  // namespace quen
