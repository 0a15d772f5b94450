// DC removal and the input's levels first; then the gain through the limiter, on
// floats so nothing is lost before dither. The limiter takes a little of the level
// away where it holds peaks down, so trial runs raise the gain until the output meets
// the target; only the last run keeps its samples. Then the cuts, which look at the
// samples as they will be heard, and the output's levels.
#include "quen/PrepareRecording.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "audio/AudioLevels.h"
#include "media/DcBlocker.h"
#include "media/Dither.h"
#include "media/Loudness.h"
#include "media/MediaDecoder.h"
#include "media/PeakLimiter.h"
#include "media/TruePeak.h"

namespace quen {
namespace {

// Trial runs before the gain is taken as it stands; each closes most of the gap.
constexpr int MAX_GAIN_CORRECTIONS = 6;
// The largest gain ever applied: enough for a recording 60 dB under the target, and
// no more, so hum or hiss under a click is not lifted to speech level.
constexpr double MAX_GAIN_DB = 60.0;

std::size_t secondsToSamples(double seconds) {
    return static_cast<std::size_t>(std::llround(seconds * TELEPHONY_SAMPLE_RATE));
}

// Every level a report gives, over a stream of blocks.
class LevelsMeter {
  public:
    void add(std::span<const float> samples) {
        speech_.add(samples);
        loudness_.add(samples);
        peak_.add(samples);
    }
    RecordingLevels result() const {
        return {speech_.result(), loudness_.result().integratedLufs, peak_.truePeakDbfs()};
    }

  private:
    // DC is gone before anything is measured.
    SpeechLevelMeter speech_{TELEPHONY_SAMPLE_RATE, false};
    LoudnessMeter loudness_{TELEPHONY_SAMPLE_RATE};
    TruePeakMeter peak_;
};

RecordingLevels measureInput(SampleBlocks& samples) {
    DcBlocker dcBlocker(TELEPHONY_SAMPLE_RATE);
    LevelsMeter meter;
    samples.modify([&](std::span<float> block) {
        dcBlocker.process(block);
        meter.add(block);
    });
    return meter.result();
}

RecordingLevels measureOutput(const std::vector<std::int16_t>& samples) {
    LevelsMeter meter;
    std::array<float, 4096> chunk;
    for (std::size_t start = 0; start < samples.size(); start += chunk.size()) {
        const std::size_t count = std::min(chunk.size(), samples.size() - start);
        for (std::size_t i = 0; i < count; ++i) {
            chunk[i] = static_cast<float>(samples[start + i] / FULL_SCALE_16BIT);
        }
        meter.add(std::span<const float>(chunk.data(), count));
    }
    return meter.result();
}

// The measure the target is given in, of `levels`; empty for silence.
std::optional<double> targetMeasure(const RecordingLevels& levels, const PrepareOptions& options) {
    return options.target == LevelTarget::LOUDNESS ? levels.loudnessLufs
                                                   : levels.speech.activeLevelDbm0;
}

double targetValue(const PrepareOptions& options) {
    return options.target == LevelTarget::LOUDNESS ? options.targetLufs : options.targetDbm0;
}

LimiterSettings limiterSettings(double gainDb, const PrepareOptions& options) {
    LimiterSettings settings;
    settings.sampleRate = TELEPHONY_SAMPLE_RATE;
    settings.gainDb = gainDb;
    settings.ceilingDbfs = options.ceilingDbfs;
    return settings;
}

// The samples through the limiter at `gainDb`, measured and dropped: the measure the
// target is given in, and the limiter's deepest reduction.
std::pair<std::optional<double>, double> trialRun(const SampleBlocks& samples, double gainDb,
                                                  const PrepareOptions& options) {
    PeakLimiter limiter(limiterSettings(gainDb, options));
    SpeechLevelMeter speech(TELEPHONY_SAMPLE_RATE, false);
    LoudnessMeter loudness(TELEPHONY_SAMPLE_RATE);
    std::vector<float> limited;
    const auto measure = [&] {
        if (options.target == LevelTarget::LOUDNESS) {
            loudness.add(limited);
        } else {
            speech.add(limited);
        }
        limited.clear();
    };
    samples.forEach([&](std::span<const float> block) {
        limiter.process(block, limited);
        measure();
    });
    limiter.finish(limited);
    measure();
    const std::optional<double> level = options.target == LevelTarget::LOUDNESS
                                            ? loudness.result().integratedLufs
                                            : speech.result().activeLevelDbm0;
    return {level, limiter.deepestReductionDb()};
}

// The gain that brings the output to the target within LEVEL_TOLERANCE_DB, as far as
// MAX_GAIN_DB allows. No trial is needed where the limiter would not touch a sample.
double chooseGain(const SampleBlocks& samples, PreparedRecording& result,
                  const PrepareOptions& options) {
    const std::optional<double> measured = targetMeasure(result.input, options);
    if (options.target == LevelTarget::NONE || !measured) {
        return 0.0;
    }
    const double target = targetValue(options);
    double gain = std::min(target - *measured, MAX_GAIN_DB);
    if (result.input.truePeakDbfs + gain < options.ceilingDbfs - 0.1) {
        return gain;
    }
    for (int trial = 0; trial < MAX_GAIN_CORRECTIONS; ++trial) {
        const auto [level, reduction] = trialRun(samples, gain, options);
        const double missing = level ? target - *level : 0.0;
        if (reduction == 0.0 || std::abs(missing) <= LEVEL_TOLERANCE_DB ||
            gain + missing > MAX_GAIN_DB) {
            break;
        }
        gain += missing;
    }
    return gain;
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
    result.input = measureInput(samples);
    result.silent = !targetMeasure(result.input, options);
    result.gainDb = chooseGain(samples, result, options);

    PeakLimiter limiter(limiterSettings(result.gainDb, options));
    Ditherer ditherer;
    std::vector<float> limited;
    result.samples.reserve(samples.size());
    samples.consume([&](std::span<const float> block) {
        limiter.process(block, limited);
        ditherer.add(limited, 1.0, result.samples);
        limited.clear();
    });
    limiter.finish(limited);
    ditherer.add(limited, 1.0, result.samples);
    result.limiterReductionDb = limiter.deepestReductionDb();

    if (options.trimSilence) {
        trimSilence(result);
    }
    if (options.maxSeconds) {
        cutToLength(*options.maxSeconds, unreadSamples, result);
    }
    result.output = measureOutput(result.samples);
    return result;
}

}  // namespace quen
