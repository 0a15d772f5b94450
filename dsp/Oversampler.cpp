// The interpolator's coefficients (a sinc under a Kaiser window, each phase scaled to unit
// gain at DC) and the polyphase filter that runs them, a block at a time, on groups of
// neighbouring outputs held in vector registers.
#include "dsp/Oversampler.h"
#include "dsp/FiniteSample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
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

// Four floats in one register (GCC's vector extension: SSE on x86-64, NEON on ARM). A
// group of outputs stays in registers while every tap of every phase is applied, so
// each sample is loaded once per tap for all three phases and no partial sum goes
// through memory. Each point still adds its taps in the same order from 0.0f, so the
// results are those of the plain loop, bit for bit.
using Vector = float __attribute__((vector_size(16)));
constexpr std::size_t LANES = sizeof(Vector) / sizeof(float);
constexpr std::size_t VECTORS = 2;
constexpr std::size_t GROUP = LANES * VECTORS;

// The coefficients of phases 1 to 3, each in every lane.
using Weights = std::array<std::array<Vector, TAPS>, FACTOR - 1>;

const Weights& broadcastWeights() {
    static const Weights weights = [] {
        Weights all{};
        for (std::size_t phase = 1; phase < FACTOR; ++phase) {
            for (std::size_t k = 0; k < TAPS; ++k) {
                const float w = coefficients()[phase][k];
                all[phase - 1][k] = Vector{} + w;
            }
        }
        return all;
    }();
    return weights;
}

Vector load(const float* from) {
    Vector v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

Vector magnitude(Vector v) {
    return v < 0.0f ? -v : v;
}

Vector larger(Vector a, Vector b) {
    return a < b ? b : a;
}

// The peaks of GROUP neighbouring outputs; `samples` at the first one's oldest sample.
void peaksOfGroup(const float* samples, const Weights& weights, float* peaks) {
    std::array<std::array<Vector, VECTORS>, FACTOR - 1> points{};
    for (std::size_t k = 0; k < TAPS; ++k) {
        for (std::size_t v = 0; v < VECTORS; ++v) {
            const Vector s = load(samples + k + v * LANES);
            for (std::size_t phase = 0; phase < FACTOR - 1; ++phase) {
                points[phase][v] += weights[phase][k] * s;
            }
        }
    }
    for (std::size_t v = 0; v < VECTORS; ++v) {
        Vector peak = magnitude(load(samples + v * LANES + TAPS - 1 - Oversampler4x::DELAY));
        for (std::size_t phase = 0; phase < FACTOR - 1; ++phase) {
            peak = larger(peak, magnitude(points[phase][v]));
        }
        std::memcpy(peaks + v * LANES, &peak, sizeof peak);
    }
}

}  // namespace

Oversampler4x::Oversampler4x() : buffer_(TAPS - 1 + BLOCK, 0.0f) {}

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
    const float* samples = buffer_.data();
    const Weights& weights = broadcastWeights();
    std::size_t n = 0;
    for (; n + GROUP <= count; n += GROUP) {
        peaksOfGroup(samples + n, weights, peaks.data() + n);
    }
    const Coefficients& table = coefficients();
    for (; n < count; ++n) {
        float peak = std::fabs(samples[n + TAPS - 1 - DELAY]);
        for (std::size_t phase = 1; phase < FACTOR; ++phase) {
            float point = 0.0f;
            for (std::size_t k = 0; k < TAPS; ++k) {
                point += table[phase][k] * samples[n + k];
            }
            peak = std::max(peak, std::fabs(point));
        }
        peaks[n] = peak;
    }
    std::copy(buffer_.begin() + count, buffer_.begin() + count + (TAPS - 1), buffer_.begin());
}

}  // namespace quen
