// TPDF dither from the sum of two uniform values in [-0.5, 0.5) step each, drawn from
// a small xorshift generator with a fixed seed.
#include "dsp/Dither.h"

#include <algorithm>
#include <cmath>

namespace quen {
namespace {

constexpr double FULL_SCALE = 32767.0;

// Uniform in [-0.5, 0.5).
double nextUniform(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 4294967296.0 - 0.5;
}

}  // namespace

void Ditherer::add(std::span<const float> samples, double gain, std::vector<std::int16_t>& output) {
    const double scale = gain * FULL_SCALE;
    std::uint32_t state = state_;
    const std::size_t start = output.size();
    output.resize(start + samples.size());
    std::int16_t* written = output.data() + start;
    for (const float sample : samples) {
        const double value = sample * scale + nextUniform(state) + nextUniform(state);
        // Rounds to nearest by flooring from a positive offset: far cheaper than
        // std::lround for millions of samples. NaN is silence: converting it to an
        // integer would be undefined.
        const double clamped =
            (std::isnan(value) ? 0.0 : std::clamp(value, -32768.0, 32767.0)) + 32768.5;
        *written++ = static_cast<std::int16_t>(static_cast<std::int32_t>(clamped) - 32768);
    }
    state_ = state;
}

std::vector<std::int16_t> ditherTo16Bit(SampleBlocks&& samples, double gain) {
    std::vector<std::int16_t> output;
    output.reserve(samples.size());
    Ditherer ditherer;
    samples.consume([&](std::span<const float> block) { ditherer.add(block, gain, output); });
    return output;
}

}  // namespace quen
