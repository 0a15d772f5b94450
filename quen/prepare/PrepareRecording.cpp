// DC removal and the input's levels first; then the gain through the limiter, on
// floats so nothing is lost before dither. The limiter takes a little of the level
// away where it holds peaks down, so trial runs raise the gain until the output meets
// the target; only the last run keeps its samples. Then the cuts, which look at the
// samples as they will be heard, and the output's levels.
#include "quen/prepare/PrepareRecording.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <thread>
#include <utility>

#include "dsp/AudioLevels.h"
#include "dsp/DcBlocker.h"
#include "dsp/Dither.h"
#include "dsp/PeakLimiter.h"
#include "dsp/TruePeak.h"
#include "media/Loudness.h"
#include "media/MediaDecoder.h"

namespace quen {
namespace {

// Trial runs before the gain is taken as it stands; each closes most of the gap.
constexpr int MAX_GAIN_CORRECTIONS = 6;
// The largest gain ever applied: enough for a recording 60 dB under the target, and
// no more, so hum or hiss under a click is not lifted to speech level.
constexpr double MAX_GAIN_DB = 60.0;
// The limiter is left out where every true peak stays this far under the ceiling: room
// for the dither.
constexpr double IDLE_LIMITER_ROOM_DB = 0.1;

std::size_t secondsToSamples(double seconds) {
    return static_cast<std::size_t>(std::llround(seconds * TELEPHONY_SAMPLE_RATE));
}

double toDb(double ratio) {
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : -std::numeric_limits<double>::infinity();
}

// The levels a report gives, over a stream of blocks. The true peak (as costly as the
// rest together) is read apart, where it is wanted.
class LevelsMeter {
  public:
    void add(std::span<const float> samples) {
        speech_.add(samples);
        loudness_.add(samples);
        for (const float sample : samples) {
            samplePeak_ = std::max(samplePeak_, std::abs(sample));
        }
    }
    RecordingLevels result() const {
        return {speech_.result(), loudness_.result().integratedLufs, toDb(samplePeak_),
                std::nullopt};
    }

  private:
    // DC is gone before anything is measured.
    SpeechLevelMeter speech_{TELEPHONY_SAMPLE_RATE, false};
    LoudnessMeter loudness_{TELEPHONY_SAMPLE_RATE};
    float samplePeak_ = 0.0f;
};

// The 16-bit samples as floats, a short chunk at a time.
template <typename Visit>
void forEachChunk(const std::vector<std::int16_t>& samples, Visit&& visit) {
    std::array<float, 4096> chunk;
    for (std::size_t start = 0; start < samples.size(); start += chunk.size()) {
        const std::size_t count = std::min(chunk.size(), samples.size() - start);
        for (std::size_t i = 0; i < count; ++i) {
            chunk[i] = static_cast<float>(samples[start + i] / FULL_SCALE_16BIT);
        }
        visit(std::span<const float>(chunk.data(), count));
    }
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

// Whether `gainDb` keeps every true peak under the ceiling, so the limiter has nothing to
// do and is left out.
class IdleLimiterTest {
  public:
    IdleLimiterTest(const InputStage& input, const PrepareOptions& options)
        : truePeakDbfs_(input.truePeakDbfs()), options_(options) {}

    bool operator()(double gainDb) const {
        return truePeakDbfs_ + gainDb < options_.ceilingDbfs - IDLE_LIMITER_ROOM_DB;
    }

  private:
    double truePeakDbfs_;
    const PrepareOptions& options_;
};

// The gain that brings the output to the target within LEVEL_TOLERANCE_DB, as far as
// MAX_GAIN_DB allows. Trial runs are needed only where the limiter acts.
double chooseGain(const SampleBlocks& samples, PreparedRecording& result,
                  const PrepareOptions& options, const IdleLimiterTest& limiterIdle) {
    const std::optional<double> measured = targetMeasure(result.input, options);
    if (options.target == LevelTarget::NONE || !measured) {
        return 0.0;
    }
    const double target = targetValue(options);
    double gain = std::min(target - *measured, MAX_GAIN_DB);
    if (limiterIdle(gain)) {
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

// The samples through the gain, and the limiter where it acts, to 16 bits; released as
// they go.
void applyGain(SampleBlocks&& samples, bool limit, const PrepareOptions& options,
               PreparedRecording& result) {
    Ditherer ditherer;
    result.samples.reserve(samples.size());
    if (!limit) {
        const double gain = std::pow(10.0, result.gainDb / 20.0);
        samples.consume(
            [&](std::span<const float> block) { ditherer.add(block, gain, result.samples); });
        return;
    }
    PeakLimiter limiter(limiterSettings(result.gainDb, options));
    std::vector<float> limited;
    samples.consume([&](std::span<const float> block) {
        limiter.process(block, limited);
        ditherer.add(limited, 1.0, result.samples);
        limited.clear();
    });
    limiter.finish(limited);
    ditherer.add(limited, 1.0, result.samples);
    result.limiterReductionDb = limiter.deepestReductionDb();
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

struct InputStage::Meters {
    DcBlocker dcBlocker{TELEPHONY_SAMPLE_RATE};
    LevelsMeter meter;
    TruePeakMeter truePeak;
};

InputStage::InputStage() : meters_(std::make_unique<Meters>()) {}

InputStage::~InputStage() = default;

void InputStage::process(std::span<float> samples) {
    meters_->dcBlocker.process(samples);
    meters_->meter.add(samples);
    meters_->truePeak.add(samples);
}

RecordingLevels InputStage::result() const {
    return meters_->meter.result();
}

double InputStage::truePeakDbfs() const {
    return meters_->truePeak.truePeakDbfs();
}

PreparedRecording prepareRecording(SampleBlocks&& samples, const InputStage& input,
                                   const PrepareOptions& options, std::size_t unreadSamples) {
    PreparedRecording result;
    result.input = input.result();
    result.silent = !targetMeasure(result.input, options);
    const IdleLimiterTest limiterIdle(input, options);
    result.gainDb = chooseGain(samples, result, options, limiterIdle);
    const bool limit = !limiterIdle(result.gainDb);
    applyGain(std::move(samples), limit, options, result);

    if (options.trimSilence) {
        trimSilence(result);
    }
    if (options.maxSeconds) {
        cutToLength(*options.maxSeconds, unreadSamples, result);
    }
    return result;
}

// The true peak is read on a second thread, beside the rest.
RecordingLevels measureOutput(const std::vector<std::int16_t>& samples) {
    TruePeakMeter truePeak;
    std::jthread peakReader(
        [&] { forEachChunk(samples, [&](std::span<const float> chunk) { truePeak.add(chunk); }); });
    LevelsMeter meter;
    forEachChunk(samples, [&](std::span<const float> chunk) { meter.add(chunk); });
    peakReader.join();
    RecordingLevels levels = meter.result();
    levels.truePeakDbfs = truePeak.truePeakDbfs();
    return levels;
}

}  // namespace quen
