// What every report of `quen` says about a sound: peak, RMS and silent ends, the active
// speech level in dBm0 with its activity factor, the true peak, and clipped runs. Measured
// once, built once as JSON, so check, inspect and any page render the same figures.
#pragma once

#include <nlohmann/json.hpp>

#include <climits>
#include <cstdint>
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
// Audio decoded to floating point, full scale 1.0.
SoundMeasures measureSound(const SampleBlocks& samples);

// snake_case keys, decibels through decibelValue.
nlohmann::json soundJson(const SoundMeasures& measures);

// The text lines of soundJson's object, each "label value", indented by `indent`
// and padded so the values line up at `column`.
std::string soundText(const nlohmann::json& sound, const std::string& indent, int column);

}  // namespace quen::tool
