// The voltmeter's counting, per sample, and its reading, from the counts.
#include "dsp/SpeechLevel.h"
#include "dsp/FiniteSample.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace quen {
namespace {

constexpr double ENVELOPE_TIME_CONSTANT_SECONDS = 0.03;
constexpr double HANGOVER_SECONDS = 0.2;
constexpr double MARGIN_DB = 15.9;

// Blocks converted or filtered at a time, so no input is ever copied whole.
constexpr std::size_t CHUNK = 4096;

// Threshold j is full scale / 2^j; the lowest is one step of 16-bit PCM.
constexpr auto THRESHOLD_LEVELS = [] {
    std::array<double, SpeechLevelMeter::THRESHOLDS> levels{};
    double level = 1.0;
    for (double& threshold : levels) {
        threshold = level;
        level /= 2.0;
    }
    return levels;
}();

// 0 dBm0 on floating-point full scale.
double referenceRms() {
    return DBM0_REFERENCE_RMS_16BIT / FULL_SCALE_16BIT;
}

}  // namespace

double dbm0FromRms(double rms) {
    return 20.0 * std::log10(rms / referenceRms());
}

SpeechLevelMeter::SpeechLevelMeter(double sampleRate, bool removeDc)
    : envelopeCoefficient_(std::exp(-1.0 / (sampleRate * ENVELOPE_TIME_CONSTANT_SECONDS))),
      hangoverSamples_(static_cast<std::uint64_t>(std::lround(sampleRate * HANGOVER_SECONDS))) {
    if (removeDc) {
        dcBlocker_.emplace(sampleRate);
    }
    // As if no activity had ever been: nothing hangs over into the first samples.
    lastReached_.fill(NEVER);
}

void SpeechLevelMeter::add(std::span<const float> samples) {
    if (!dcBlocker_) {
        measure(samples);
        return;
    }
    std::array<float, CHUNK> chunk;
    while (!samples.empty()) {
        const std::size_t count = std::min(CHUNK, samples.size());
        std::copy_n(samples.begin(), count, chunk.begin());
        for (std::size_t i = 0; i < count; ++i) {
            const double x = finiteOrSilence(chunk[i]);
            givenSumOfSquares_ += x * x;
        }
        dcBlocker_->process(std::span(chunk.data(), count));
        measure(std::span<const float>(chunk.data(), count));
        samples = samples.subspan(count);
    }
}

void SpeechLevelMeter::add(std::span<const std::int16_t> samples) {
    std::array<float, CHUNK> chunk;
    while (!samples.empty()) {
        const std::size_t count = std::min(CHUNK, samples.size());
        for (std::size_t i = 0; i < count; ++i) {
            chunk[i] = static_cast<float>(samples[i] / FULL_SCALE_16BIT);
        }
        add(std::span<const float>(chunk.data(), count));
        samples = samples.subspan(count);
    }
}

namespace {

// The lowest index j whose threshold 2^-j `envelope` reaches, read from its exponent:
// exact, and THRESHOLDS when it reaches none.
std::size_t lowestReached(double envelope) {
    constexpr int EXPONENT_BIAS = 1023;
    const auto biased = static_cast<int>((std::bit_cast<std::uint64_t>(envelope) >> 52) & 0x7FF);
    return static_cast<std::size_t>(
        std::clamp(EXPONENT_BIAS - biased, 0, static_cast<int>(SpeechLevelMeter::THRESHOLDS)));
}

}  // namespace

void SpeechLevelMeter::measure(std::span<const float> samples) {
    const double g = envelopeCoefficient_;
    std::uint64_t n = samples_;
    for (const float sample : samples) {
        const double x = finiteOrSilence(sample);
        sumOfSquares_ += x * x;
        rectified_ = g * rectified_ + (1.0 - g) * std::fabs(x);
        envelope_ = g * envelope_ + (1.0 - g) * rectified_;
        const std::size_t reached = lowestReached(envelope_);
        // Thresholds reached again count the hangover of the gap since they were left;
        // thresholds left remember the last sample that reached them.
        for (std::size_t j = reached; j < reachedNow_; ++j) {
            if (lastReached_[j] != NEVER) {
                hangoverCounted_[j] += std::min(n - 1 - lastReached_[j], hangoverSamples_);
            }
        }
        for (std::size_t j = reachedNow_; j < reached; ++j) {
            lastReached_[j] = n - 1;
        }
        ++reachedFrom_[reached];
        reachedNow_ = reached;
        ++n;
    }
    samples_ = n;
}

std::uint64_t SpeechLevelMeter::activeSamples(std::size_t j) const {
    std::uint64_t count = hangoverCounted_[j];
    for (std::size_t index = 0; index <= j; ++index) {
        count += reachedFrom_[index];
    }
    // A threshold left before the end counts the hangover after it, up to the end.
    if (j < reachedNow_ && lastReached_[j] != NEVER) {
        count += std::min(samples_ - 1 - lastReached_[j], hangoverSamples_);
    }
    return count;
}

SpeechLevel SpeechLevelMeter::result() const {
    SpeechLevel level;
    if (samples_ == 0 || sumOfSquares_ == 0.0) {
        return level;
    }
    const double longTermPower = sumOfSquares_ / static_cast<double>(samples_);

    // From the lowest threshold up: the power of the samples it counts active (dB full
    // scale) stands far above it at first and draws nearer as the thresholds rise; the
    // level is where that distance crosses the margin. A threshold that counts nothing
    // ends the search, as no higher one counts more.
    std::optional<double> activePowerDb;
    double previousPowerDb = 0.0;
    double previousDistance = 0.0;
    for (std::size_t step = 0; step < THRESHOLDS; ++step) {
        const std::size_t j = THRESHOLDS - 1 - step;
        const std::uint64_t active = activeSamples(j);
        if (active == 0) {
            break;
        }
        const double powerDb = 10.0 * std::log10(sumOfSquares_ / static_cast<double>(active));
        const double distance = powerDb - 20.0 * std::log10(THRESHOLD_LEVELS[j]);
        if (distance <= MARGIN_DB) {
            if (!activePowerDb) {
                // Even the lowest threshold lies within the margin: the signal is too
                // quiet to place, and every sample it counts stands for the level.
                activePowerDb = powerDb;
            } else {
                const double share = (previousDistance - MARGIN_DB) / (previousDistance - distance);
                activePowerDb = previousPowerDb + share * (powerDb - previousPowerDb);
            }
            break;
        }
        activePowerDb = powerDb;
        previousPowerDb = powerDb;
        previousDistance = distance;
    }
    if (!activePowerDb) {
        return level;
    }
    // A peak too brief for any threshold to reach the margin leaves the highest count's
    // reading, the best there is.
    const double activePower = std::pow(10.0, *activePowerDb / 10.0);
    level.activityFactor = std::min(1.0, longTermPower / activePower);
    // The power the DcBlocker took out, the offset's, is there all the time, in speech as
    // in pauses: added back, the level reads the long-term level plus what the pauses
    // left out, never below it.
    const double offsetPower =
        dcBlocker_ ? (givenSumOfSquares_ - sumOfSquares_) / static_cast<double>(samples_) : 0.0;
    level.activeLevelDbm0 = dbm0FromRms(std::sqrt(activePower + offsetPower));
    return level;
}

SpeechLevel measureSpeechLevel(std::span<const float> samples, double sampleRate) {
    SpeechLevelMeter meter(sampleRate);
    meter.add(samples);
    return meter.result();
}

SpeechLevel measureSpeechLevel(std::span<const std::int16_t> samples, double sampleRate) {
    SpeechLevelMeter meter(sampleRate);
    meter.add(samples);
    return meter.result();
}

}  // namespace quen
