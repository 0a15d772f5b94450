// The test signals, built from closed forms and a seeded generator, so every run sees
// the same samples.
#include "tests/TestSignals.h"

#include <cmath>
#include <numbers>
#include <random>

namespace quen::test {

std::vector<float> sine(double amplitude, double frequencyHz, std::size_t count,
                        double phaseRadians, double sampleRate) {
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequencyHz *
                                                        static_cast<double>(i) / sampleRate +
                                                    phaseRadians));
    }
    return samples;
}

std::vector<float> toneBursts(double amplitude, double frequencyHz, double onSeconds,
                              double offSeconds, int periods, double sampleRate) {
    const auto on =
        sine(amplitude, frequencyHz, static_cast<std::size_t>(std::lround(onSeconds * sampleRate)),
             0.0, sampleRate);
    const auto off = static_cast<std::size_t>(std::lround(offSeconds * sampleRate));
    std::vector<float> samples;
    for (int period = 0; period < periods; ++period) {
        samples.insert(samples.end(), on.begin(), on.end());
        samples.insert(samples.end(), off, 0.0f);
    }
    return samples;
}

void fadeEnds(std::vector<float>& samples, std::size_t fadeSamples) {
    for (std::size_t i = 0; i < fadeSamples && i < samples.size(); ++i) {
        const double weight = 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) /
                                                   static_cast<double>(fadeSamples));
        samples[i] = static_cast<float>(samples[i] * weight);
        samples[samples.size() - 1 - i] =
            static_cast<float>(samples[samples.size() - 1 - i] * weight);
    }
}

std::vector<float> speechLikeNoise(double seconds, std::uint32_t seed, double sampleRate) {
    std::mt19937 generator(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_real_distribution<double> syllableSeconds(0.08, 0.4);
    std::uniform_real_distribution<double> pauseSeconds(0.0, 0.3);
    std::uniform_real_distribution<double> loudnessDb(-30.0, 0.0);
    const auto total = static_cast<std::size_t>(seconds * sampleRate);
    std::vector<float> samples;
    samples.reserve(total);
    // A one-pole low-pass tilts the noise toward the low frequencies voices have.
    double filtered = 0.0;
    while (samples.size() < total) {
        const auto length = static_cast<std::size_t>(syllableSeconds(generator) * sampleRate);
        const double amplitude = 0.1 * std::pow(10.0, loudnessDb(generator) / 20.0);
        for (std::size_t i = 0; i < length && samples.size() < total; ++i) {
            const double shape =
                std::sin(std::numbers::pi * static_cast<double>(i) / static_cast<double>(length));
            filtered = 0.7 * filtered + 0.3 * noise(generator);
            samples.push_back(static_cast<float>(amplitude * shape * filtered));
        }
        const auto pause = static_cast<std::size_t>(pauseSeconds(generator) * sampleRate);
        for (std::size_t i = 0; i < pause && samples.size() < total; ++i) {
            samples.push_back(0.0f);
        }
    }
    return samples;
}

double rmsOf(std::span<const float> samples) {
    double sum = 0.0;
    for (const float sample : samples) {
        sum += static_cast<double>(sample) * sample;
    }
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

}  // namespace quen::test
