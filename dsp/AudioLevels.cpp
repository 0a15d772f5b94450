// One pass for peak, energy and sum; the silent ends are found from either side.
#include "dsp/AudioLevels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace quen {
namespace {

constexpr double FULL_SCALE = 32768.0;

double toDbfs(double amplitude) {
    return amplitude > 0 ? 20 * std::log10(amplitude / FULL_SCALE)
                         : -std::numeric_limits<double>::infinity();
}

}  // namespace

AudioLevels measureLevels(std::span<const std::int16_t> samples) {
    AudioLevels levels;
    levels.samples = samples.size();
    // Plain integer arithmetic without branches, so that the loop vectorises.
    int peak = 0;
    std::uint64_t energy = 0;  // exact: at most 2^30 per sample
    std::int64_t sum = 0;      // exact: at most 2^15 per sample
    for (const std::int16_t sample : samples) {
        const int value = sample;
        const int magnitude = value < 0 ? -value : value;
        peak = std::max(peak, magnitude);
        energy += static_cast<std::uint32_t>(magnitude * magnitude);
        sum += value;
    }
    levels.peakDbfs = toDbfs(peak);
    levels.rmsDbfs =
        samples.empty()
            ? toDbfs(0)
            : toDbfs(std::sqrt(static_cast<double>(energy) / static_cast<double>(samples.size())));
    levels.dcOffset = samples.empty() ? 0.0
                                      : static_cast<double>(sum) /
                                            static_cast<double>(samples.size()) / FULL_SCALE;

    // The smallest magnitude at or above the threshold.
    const auto threshold =
        static_cast<int>(std::ceil(FULL_SCALE * std::pow(10.0, SILENCE_THRESHOLD_DBFS / 20)));
    const auto loud = [threshold](std::int16_t sample) {
        return std::abs(int{sample}) >= threshold;
    };
    std::size_t first = 0;
    while (first < samples.size() && !loud(samples[first])) {
        ++first;
    }
    std::size_t end = samples.size();
    while (end > first && !loud(samples[end - 1])) {
        --end;
    }
    levels.leadingSilence = first;
    levels.trailingSilence = first == samples.size() ? samples.size() : samples.size() - end;
    return levels;
}

}  // namespace quen
