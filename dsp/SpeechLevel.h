// Active speech level, the telephone network's measure of how loud speech is: the power
// of the signal over the time speech is active only, so pauses do not pull it down.
// ITU-T P.56 method B: a rectified envelope (time constant 0.03 s), activity counted
// against thresholds 6 dB apart with a 0.2 s hangover, and the level where it stands
// 15.9 dB above the threshold that counts it, interpolated between thresholds. Streams
// over blocks in bounded memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <optional>
#include <span>

#include "dsp/DcBlocker.h"

namespace quen {

// 0 dBm0: the RMS of a full-scale sine on 16-bit linear PCM (+/-32767), so -19 dBm0, the
// level telephone networks aim speech at, is an RMS of 2600.
constexpr double DBM0_REFERENCE_RMS_16BIT = 32767.0 / std::numbers::sqrt2;
constexpr double TELEPHONE_SPEECH_LEVEL_DBM0 = -19.0;
// The 16-bit value that floating-point full scale 1.0 stands for, as in the dithered
// 16-bit output, so a recording reads the same level before and after it is written.
constexpr double FULL_SCALE_16BIT = 32767.0;

// dBm0 of an RMS on floating-point full scale 1.0.
double dbm0FromRms(double rms);

struct SpeechLevel {
    // Empty when nothing is active (silence).
    std::optional<double> activeLevelDbm0;
    // The share of the samples that are active, 0..1.
    double activityFactor = 0.0;
};

class SpeechLevelMeter {
  public:
    static constexpr std::size_t THRESHOLDS = 16;

    // With `removeDc`, the samples pass a DcBlocker first: an offset would otherwise
    // count as activity in every pause. The power it takes out is present all the time,
    // in speech as in pauses, so it is added back to the level: the active level never
    // reads below the long-term level of the samples as given.
    explicit SpeechLevelMeter(double sampleRate = 8000.0, bool removeDc = true);

    void add(std::span<const float> samples);
    // Scaled by 1/FULL_SCALE_16BIT.
    void add(std::span<const std::int16_t> samples);
    SpeechLevel result() const;

  private:
    void measure(std::span<const float> samples);
    // Samples the envelope stayed at or above threshold j, and those within the
    // hangover after it.
    std::uint64_t activeSamples(std::size_t j) const;

    static constexpr std::uint64_t NEVER = UINT64_MAX;

    std::optional<DcBlocker> dcBlocker_;
    double envelopeCoefficient_;
    std::uint64_t hangoverSamples_;
    double rectified_ = 0.0;          // first stage of the envelope
    double envelope_ = 0.0;           // second stage
    double sumOfSquares_ = 0.0;       // of the samples measured, the offset removed
    double givenSumOfSquares_ = 0.0;  // of the samples as given, the offset included
    std::uint64_t samples_ = 0;
    // Thresholds run from full scale down in 6.02 dB steps, so the envelope reaches all
    // from some index on, and that index moves only as the envelope crosses one. Counting
    // is kept to those crossings: per index, the samples that reached it as their
    // highest; per threshold, the hangover counted when it was reached again and the
    // last sample that reached it before it was left; and the index the last sample
    // reached (THRESHOLDS for none).
    std::array<std::uint64_t, THRESHOLDS + 1> reachedFrom_{};
    std::array<std::uint64_t, THRESHOLDS> hangoverCounted_{};
    std::array<std::uint64_t, THRESHOLDS> lastReached_{};
    std::size_t reachedNow_ = THRESHOLDS;
};

SpeechLevel measureSpeechLevel(std::span<const float> samples, double sampleRate = 8000.0);
SpeechLevel measureSpeechLevel(std::span<const std::int16_t> samples, double sampleRate = 8000.0);

}  // namespace quen
