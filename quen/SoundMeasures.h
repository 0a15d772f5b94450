// What every report of `quen` says about a sound: peak, RMS, DC offset and silent ends, the
// active speech level in dBm0 with its activity factor, the true peak, and clipping. Measured
// once and rounded once, so check, inspect and any page render the same figures.
#pragma once

#include <nlohmann/json.hpp>

#include <climits>
#include <cstdint>
#include <future>
#include <optional>
#include <span>
#include <string>

#include "dsp/AudioLevels.h"
#include "dsp/ClippingRuns.h"
#include "dsp/SampleBlocks.h"
#include "dsp/SpeechLevel.h"

namespace quen::tool {

struct SoundMeasures {
    AudioLevels levels;
    SpeechLevel speech;
    double truePeakDbfs = 0.0;
    ClippingRuns clipping;
};

// 16-bit audio; clipped where it reaches `lowest` or `highest`, the source's full scale.
SoundMeasures measureSound(std::span<const std::int16_t> samples, std::int16_t lowest = INT16_MIN,
                           std::int16_t highest = INT16_MAX);

// The same measures begun on other cores, so that the caller can do other work with the
// samples meanwhile; result() takes the rest and waits for them. The samples must stay
// until then; dropped before result(), it waits for the work begun.
class SoundMeasuring {
  public:
    SoundMeasuring(std::span<const std::int16_t> samples, std::int16_t lowest = INT16_MIN,
                   std::int16_t highest = INT16_MAX);
    // Once only.
    SoundMeasures result();

  private:
    std::span<const std::int16_t> samples_;
    std::int16_t lowest_;
    std::int16_t highest_;
    std::future<double> truePeakDbfs_;
    std::future<SpeechLevel> speech_;
};
// Audio decoded to floating point, full scale 1.0.
SoundMeasures measureSound(const SampleBlocks& samples);

// The figures a report shows of a sound, rounded here once, so that text, JSON and the
// page judge and show the same numbers: levels through roundedDecibels (none for the
// level of silence), the activity factor to 0.001, silences in seconds.
struct SoundFigures {
    std::size_t samples = 0;
    std::optional<double> peakDbfs;
    std::optional<double> truePeakDbfs;
    std::optional<double> rmsDbfs;
    double dcOffsetPercent = 0.0;           // of full scale, to 0.01
    std::optional<double> activeLevelDbm0;  // none without active speech
    double activityFactor = 0.0;
    std::size_t clippedSamples = 0;  // every sample at full scale
    std::size_t clippedRuns = 0;
    std::size_t clippedRunSamples = 0;
    double leadingSilenceSeconds = 0.0;
    double trailingSilenceSeconds = 0.0;
};
SoundFigures soundFigures(const SoundMeasures& measures);

// "+0.61 % of full scale", signed.
std::string dcOffsetText(double percent);
// "4733 samples at full scale, 8 runs (28 samples) of 3 or more in a row", or "none".
std::string clippingText(const ClippingRuns& clipping);
std::string clippingText(const SoundFigures& figures);

// snake_case keys, null for a level that is none.
nlohmann::json soundJson(const SoundMeasures& measures);

// The same figures as text lines, each "label value", indented by `indent` and padded
// so the values line up at `column`.
std::string soundText(const SoundMeasures& measures, const std::string& indent, int column);

}  // namespace quen::tool
