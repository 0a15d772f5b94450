// Gain first (on floats, so nothing is lost before dither), then 16 bits, then the
// cuts, which look at the samples as they will be heard.
#include "quen/PrepareRecording.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "audio/AudioLevels.h"
#include "media/Dither.h"
#include "media/Loudness.h"
#include "media/MediaDecoder.h"

namespace quen {
namespace {

double toDb(double ratio) {
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : -std::numeric_limits<double>::infinity();
}

double fromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

std::size_t secondsToSamples(double seconds) {
    return static_cast<std::size_t>(std::llround(seconds * TELEPHONY_SAMPLE_RATE));
}

void chooseGain(const SampleBlocks& samples, const PrepareOptions& options,
                PreparedRecording& result) {
    const Loudness loudness = measureLoudness(samples, TELEPHONY_SAMPLE_RATE);
    result.inputLufs = loudness.integratedLufs;
    result.inputPeakDbfs = toDb(loudness.samplePeak);
    // Silence has no loudness to correct.
    if (!options.normalize || !loudness.integratedLufs || loudness.samplePeak <= 0.0) {
        return;
    }
    const double wanted = options.targetLufs - *loudness.integratedLufs;
    const double allowed = PEAK_CEILING_DBFS - result.inputPeakDbfs;
    result.gainLimitedByPeak = allowed < wanted;
    result.gainDb = std::min(wanted, allowed);
}

void trimSilence(PreparedRecording& result) {
    auto& samples = result.samples;
    const AudioLevels levels = measureLevels(samples);
    // A recording that is silence throughout is left whole rather than emptied.
    if (levels.leadingSilence == samples.size()) {
        return;
    }
    const std::size_t margin = secondsToSamples(TRIM_MARGIN_SECONDS);
    result.trimmedLeading = levels.leadingSilence > margin ? levels.leadingSilence - margin : 0;
    result.trimmedTrailing = levels.trailingSilence > margin ? levels.trailingSilence - margin : 0;
    samples.erase(samples.end() - static_cast<std::ptrdiff_t>(result.trimmedTrailing),
                  samples.end());
    samples.erase(samples.begin(),
                  samples.begin() + static_cast<std::ptrdiff_t>(result.trimmedLeading));
}

void cutToLength(double maxSeconds, std::size_t unreadSamples, PreparedRecording& result) {
    auto& samples = result.samples;
    const std::size_t keep = secondsToSamples(maxSeconds);
    if (samples.size() + unreadSamples <= keep) {
        return;
    }
    result.cutAtEnd = samples.size() + unreadSamples - keep;
    samples.resize(std::min(keep, samples.size()));
    const std::size_t fade = std::min(samples.size(), secondsToSamples(CUT_FADE_SECONDS));
    for (std::size_t i = 0; i < fade; ++i) {
        const double weight = static_cast<double>(i) / static_cast<double>(fade);
        auto& sample = samples[samples.size() - 1 - i];
        sample = static_cast<std::int16_t>(std::lround(sample * weight));
    }
}

}  // namespace

PreparedRecording prepareRecording(SampleBlocks&& samples, const PrepareOptions& options,
                                   std::size_t unreadSamples) {
    PreparedRecording result;
    chooseGain(samples, options, result);
    result.samples = ditherTo16Bit(std::move(samples), fromDb(result.gainDb));
    if (options.trimSilence) {
        trimSilence(result);
    }
    if (options.maxSeconds) {
        cutToLength(*options.maxSeconds, unreadSamples, result);
    }
    return result;
}

}  // namespace quen
