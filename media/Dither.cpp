// TPDF dither from the sum of two uniform values in [-0.5, 0.5) step each, drawn from
// a small xorshift generator with a fixed seed.
#include "media/Dither.h"

#include <algorithm>
#include <cmath>

namespace quen {
namespace {

constexpr double FULL_SCALE = 32767.0;

class Xorshift32 {
  public:
    // Uniform in [-0.5, 0.5).
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 4294967296.0 - 0.5;
    }

  private:
    std::uint32_t state_ = 0x9E3779B9u;
};

}  // namespace

std::vector<std::int16_t> ditherTo16Bit(SampleBlocks&& samples, double gain) {
    std::vector<std::int16_t> output;
    output.reserve(samples.size());
    Xorshift32 noise;
    const double scale = gain * FULL_SCALE;
    samples.consume([&](std::span<const float> block) {
        for (const float sample : block) {
            const double value = sample * scale + noise.next() + noise.next();
            // Rounds to nearest by flooring from a positive offset: far cheaper than
            // std::lround for millions of samples. NaN is silence: converting it to an
            // integer would be undefined.
            const double clamped =
                (std::isnan(value) ? 0.0 : std::clamp(value, -32768.0, 32767.0)) + 32768.5;
            output.push_back(static_cast<std::int16_t>(static_cast<std::int32_t>(clamped) - 32768));
        }
    });
    return output;
}

}  // namespace quen
