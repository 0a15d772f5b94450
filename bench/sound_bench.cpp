// Speed of the sound processing over ten minutes of 8 kHz speech-like audio: each
// stage alone, and the whole chain a prepared recording goes through (DC removal, the
// active speech level, clipping runs, the limiter, and the true peak of its output),
// fed in blocks as a decoder delivers them. The target for the chain is well under a
// second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/ClippingRuns.h"
#include "dsp/DcBlocker.h"
#include "dsp/PeakLimiter.h"
#include "dsp/SpeechLevel.h"
#include "dsp/TruePeak.h"

namespace {

constexpr double RATE = 8000.0;
constexpr std::size_t TEN_MINUTES = 600 * 8000;
constexpr std::size_t BLOCK = 4096;

// Noise under a syllable-like envelope with pauses, and a small offset, so the level
// meter counts activity and the limiter has peaks to hold at +12 dB.
std::vector<float> speechLike(std::size_t count) {
    std::vector<float> samples(count);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < count; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double syllable = std::max(0.0, std::sin(static_cast<double>(i) * 0.0021));
        const double value =
            static_cast<double>(static_cast<std::int32_t>(noise >> 8) - (1 << 23)) /
            static_cast<double>(1 << 23);
        samples[i] = static_cast<float>(0.2 * syllable * value + 0.01);
    }
    return samples;
}

const std::vector<float>& tenMinutes() {
    static const std::vector<float> samples = speechLike(TEN_MINUTES);
    return samples;
}

template <typename Feed>
void inBlocks(const std::vector<float>& samples, Feed&& feed) {
    for (std::size_t start = 0; start < samples.size(); start += BLOCK) {
        feed(std::span<const float>(samples.data() + start,
                                    std::min(BLOCK, samples.size() - start)));
    }
}

void BM_SpeechLevel(benchmark::State& state) {
    for (auto _ : state) {
        quen::SpeechLevelMeter meter(RATE);
        inBlocks(tenMinutes(), [&](std::span<const float> block) { meter.add(block); });
        benchmark::DoNotOptimize(meter.result());
    }
}
BENCHMARK(BM_SpeechLevel)->Unit(benchmark::kMillisecond);

void BM_TruePeak(benchmark::State& state) {
    for (auto _ : state) {
        quen::TruePeakMeter meter;
        inBlocks(tenMinutes(), [&](std::span<const float> block) { meter.add(block); });
        benchmark::DoNotOptimize(meter.truePeak());
    }
}
BENCHMARK(BM_TruePeak)->Unit(benchmark::kMillisecond);

void BM_Limiter(benchmark::State& state) {
    quen::LimiterSettings settings;
    settings.gainDb = 12.0;
    std::vector<float> output;
    for (auto _ : state) {
        quen::PeakLimiter limiter(settings);
        inBlocks(tenMinutes(), [&](std::span<const float> block) {
            output.clear();
            limiter.process(block, output);
        });
        limiter.finish(output);
        benchmark::DoNotOptimize(output.data());
    }
}
BENCHMARK(BM_Limiter)->Unit(benchmark::kMillisecond);

void BM_ClippingRuns(benchmark::State& state) {
    for (auto _ : state) {
        quen::ClippingRunCounter counter = quen::ClippingRunCounter::forFloat();
        inBlocks(tenMinutes(), [&](std::span<const float> block) { counter.add(block); });
        benchmark::DoNotOptimize(counter.result());
    }
}
BENCHMARK(BM_ClippingRuns)->Unit(benchmark::kMillisecond);

void BM_WholeChain(benchmark::State& state) {
    quen::LimiterSettings settings;
    settings.gainDb = 12.0;
    std::vector<float> work;
    std::vector<float> output;
    for (auto _ : state) {
        quen::ClippingRunCounter clipping = quen::ClippingRunCounter::forFloat();
        quen::SpeechLevelMeter level(RATE);
        quen::DcBlocker dcBlocker(RATE);
        quen::PeakLimiter limiter(settings);
        quen::TruePeakMeter truePeak;
        inBlocks(tenMinutes(), [&](std::span<const float> block) {
            clipping.add(block);
            level.add(block);
            work.assign(block.begin(), block.end());
            dcBlocker.process(work);
            output.clear();
            limiter.process(work, output);
            truePeak.add(output);
        });
        output.clear();
        limiter.finish(output);
        truePeak.add(output);
        benchmark::DoNotOptimize(level.result());
        benchmark::DoNotOptimize(clipping.result());
        benchmark::DoNotOptimize(truePeak.truePeak());
    }
}
BENCHMARK(BM_WholeChain)->Unit(benchmark::kMillisecond);

}  // namespace
