// Signals with known answers for the sound-processing tests: tones, tone bursts, fades
// and a deterministic speech-like noise, on floating-point full scale 1.0.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quen::test {

constexpr double TEST_SAMPLE_RATE = 8000.0;

std::vector<float> sine(double amplitude, double frequencyHz, std::size_t count,
                        double phaseRadians = 0.0, double sampleRate = TEST_SAMPLE_RATE);

// `periods` times: a sine for `onSeconds`, then silence for `offSeconds`; each burst
// starts at phase 0.
std::vector<float> toneBursts(double amplitude, double frequencyHz, double onSeconds,
                              double offSeconds, int periods, double sampleRate = TEST_SAMPLE_RATE);

// Raised-cosine fades over `fadeSamples` at both ends, in place, so a tone starts
// without the ringing of an abrupt edge.
void fadeEnds(std::vector<float>& samples, std::size_t fadeSamples);

// Noise shaped like speech: syllables of a few hundred milliseconds at varying
// loudness, with pauses between, and sharp peaks far above the average.
std::vector<float> speechLikeNoise(double seconds, std::uint32_t seed,
                                   double sampleRate = TEST_SAMPLE_RATE);

double rmsOf(std::span<const float> samples);

// Feeds `samples` to `feed` in blocks of `blockSize`, the last one shorter.
template <typename Feed>
void inBlocks(const std::vector<float>& samples, std::size_t blockSize, Feed&& feed) {
    for (std::size_t start = 0; start < samples.size(); start += blockSize) {
        const std::size_t count = std::min(blockSize, samples.size() - start);
        feed(std::span<const float>(samples.data() + start, count));
    }
}

}  // namespace quen::test
