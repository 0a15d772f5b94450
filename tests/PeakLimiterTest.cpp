// The look-ahead limiter: loud sines come out at the ceiling from their first crest on,
// quiet signals pass bit for bit in step with their input, peaks between samples are
// held too, the gain recovers smoothly, and block boundaries do not change the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/PeakLimiter.h"
#include "dsp/TruePeak.h"
#include "tests/TestSignals.h"

namespace quen::test {
namespace {

std::vector<float> limited(const std::vector<float>& input, const LimiterSettings& settings,
                           std::size_t blockSize = 4096) {
    PeakLimiter limiter(settings);
    std::vector<float> output;
    inBlocks(input, blockSize,
             [&](std::span<const float> block) { limiter.process(block, output); });
    limiter.finish(output);
    return output;
}

double truePeakDbfs(std::span<const float> samples) {
    TruePeakMeter meter;
    meter.add(samples);
    return meter.truePeakDbfs();
}

TEST(PeakLimiter, HoldsALoudSineAtTheCeiling) {
    struct Case {
        double ceilingDbfs;
        double frequencyHz;
        double overDb;  // the sine's crest above the ceiling, after the gain
    };
    const Case cases[] = {
        {-3.0, 1000.0, 6.0}, {-3.0, 440.0, 6.0},  {-1.0, 1000.0, 20.0},
        {-6.0, 300.0, 0.5},  {-3.0, 3000.0, 6.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ceilingDbfs << " dBFS, " << c.frequencyHz << " Hz, "
                                        << c.overDb << " dB over");
        // The gain takes a sine at -12 dBFS to the crest wanted; it starts abruptly.
        LimiterSettings settings;
        settings.ceilingDbfs = c.ceilingDbfs;
        settings.gainDb = c.ceilingDbfs + c.overDb + 12.0;
        const auto input = sine(std::pow(10.0, -12.0 / 20.0), c.frequencyHz, 16000);
        const auto output = limited(input, settings);
        ASSERT_EQ(output.size(), input.size());
        EXPECT_LE(truePeakDbfs(output), c.ceilingDbfs);
        // From the first crest on, the sine sits at the ceiling.
        const double rmsDb =
            20.0 * std::log10(rmsOf(std::span(output).subspan(80)) * std::numbers::sqrt2);
        EXPECT_NEAR(rmsDb, c.ceilingDbfs, c.frequencyHz > 2000.0 ? 0.2 : 0.05);
    }
}

// A look-ahead shorter than half a sample is one sample: the limiter still gives one
// output per input and holds the ceiling.
TEST(PeakLimiter, ALookAheadUnderOneSampleStillLimits) {
    LimiterSettings settings;
    settings.lookAheadSeconds = 0.00001;
    settings.gainDb = 12.0;
    const auto input = sine(std::pow(10.0, -6.0 / 20.0), 1000.0, 4000);
    const auto output = limited(input, settings);
    ASSERT_EQ(output.size(), input.size());
    EXPECT_LE(truePeakDbfs(output), settings.ceilingDbfs + 0.5);
}

TEST(PeakLimiter, PassesASignalUnderTheCeilingUnchanged) {
    // The speech peaks near -10 dBFS.
    const auto speech = speechLikeNoise(4.0, 11);
    ASSERT_LT(truePeakDbfs(speech), -4.0);
    EXPECT_EQ(limited(speech, LimiterSettings{}), speech);

    LimiterSettings louder;
    louder.gainDb = 3.0;
    const auto output = limited(speech, louder);
    ASSERT_EQ(output.size(), speech.size());
    const double gain = std::pow(10.0, 3.0 / 20.0);
    for (std::size_t i = 0; i < speech.size(); ++i) {
        ASSERT_NEAR(output[i], speech[i] * gain, 1e-6) << i;
    }
}

TEST(PeakLimiter, HoldsPeaksBetweenSamples) {
    // Every sample at -4 dBFS, under the ceiling; the crests between them at -1 dBFS.
    auto tone =
        sine(std::pow(10.0, -1.0 / 20.0), TEST_SAMPLE_RATE / 4.0, 16000, std::numbers::pi / 4.0);
    fadeEnds(tone, 400);
    LimiterSettings settings;
    PeakLimiter limiter(settings);
    std::vector<float> output;
    limiter.process(tone, output);
    limiter.finish(output);
    EXPECT_LE(truePeakDbfs(output), -3.0);
    // Turned down by the 2 dB the crests stand over the ceiling, and the small margin.
    EXPECT_NEAR(limiter.deepestReductionDb(), -2.02, 0.01);
}

TEST(PeakLimiter, KeepsLoudSignalsUnderTheCeiling) {
    std::vector<std::vector<float>> signals = {speechLikeNoise(5.0, 1), speechLikeNoise(5.0, 2)};
    // Full-scale alternation at the Nyquist frequency in bursts, and noise without pauses.
    std::vector<float> alternation(24000);
    for (std::size_t i = 0; i < alternation.size(); ++i) {
        alternation[i] = (i % 2 == 0 ? 1.0f : -1.0f) * ((i / 500) % 3 == 0 ? 1.0f : 0.05f);
    }
    signals.push_back(alternation);
    std::vector<float> noise = speechLikeNoise(3.0, 4);
    noise.erase(std::remove(noise.begin(), noise.end(), 0.0f), noise.end());
    signals.push_back(noise);
    for (std::size_t which = 0; which < signals.size(); ++which) {
        for (const double gainDb : {6.0, 15.0, 30.0, 50.0}) {
            SCOPED_TRACE(testing::Message() << "signal " << which << ", " << gainDb << " dB");
            LimiterSettings settings;
            settings.gainDb = gainDb;
            const auto output = limited(signals[which], settings);
            ASSERT_EQ(output.size(), signals[which].size());
            EXPECT_LE(truePeakDbfs(output), -3.0);
        }
    }
}

TEST(PeakLimiter, TheGainComesDownAheadOfAPeakAndRecoversSmoothly) {
    // A steady quiet tone with a loud burst in the middle: the ratio of output to input
    // is the gain applied.
    const double quiet = 0.05;
    auto input = sine(quiet, 500.0, 24000);
    const std::size_t burstStart = 8000;
    const std::size_t burstEnd = 8400;
    for (std::size_t i = burstStart; i < burstEnd; ++i) {
        input[i] *= 20.0f;  // a crest of 1.0, needing 0.71 for -3 dBFS
    }
    LimiterSettings settings;
    const auto output = limited(input, settings);
    const auto gainAt = [&](std::size_t i) {
        // The ratio on the crest nearest i, where it is well defined.
        double best = 0.0;
        std::size_t crest = i;
        for (std::size_t j = i; j < i + 16; ++j) {
            if (std::fabs(input[j]) > best) {
                best = std::fabs(input[j]);
                crest = j;
            }
        }
        return output[crest] / input[crest];
    };
    // Untouched until the look-ahead (5 ms, 40 samples) before the burst, then down in
    // even steps, with no jump when the burst comes into view.
    for (std::size_t i = 0; i + 60 < burstStart; ++i) {
        ASSERT_EQ(output[i], input[i]) << i;
    }
    double previous = 1.0;
    for (std::size_t i = burstStart - 60; i < burstStart; ++i) {
        if (std::fabs(input[i]) > 0.01f) {
            const double ratio = output[i] / input[i];
            EXPECT_LE(ratio, previous + 1e-6) << i;
            EXPECT_GE(ratio, previous - 0.3 / 40.0 * 4.0) << i;
            previous = ratio;
        }
    }
    EXPECT_LT(gainAt(burstStart), 0.71);
    EXPECT_GT(gainAt(burstStart), 0.6);
    // The recovery is gradual: partly back after one release time (80 ms, 640
    // samples), nearly back after five, with no step between samples.
    EXPECT_LT(gainAt(burstEnd + 640), 0.95);
    EXPECT_GT(gainAt(burstEnd + 640), 0.8);
    EXPECT_GT(gainAt(burstEnd + 5 * 640), 0.995);
    for (std::size_t i = burstEnd + 100; i < burstEnd + 2000; i += 8) {
        EXPECT_GE(gainAt(i + 8), gainAt(i) - 1e-4) << i;
    }
    // Back to unity, the tone passes bit for bit again.
    for (std::size_t i = 20000; i < input.size(); ++i) {
        ASSERT_EQ(output[i], input[i]) << i;
    }
}

TEST(PeakLimiter, BlockBoundariesDoNotChangeTheOutput) {
    LimiterSettings settings;
    settings.gainDb = 18.0;
    const auto speech = speechLikeNoise(3.0, 9);
    const auto whole = limited(speech, settings, speech.size());
    ASSERT_EQ(whole.size(), speech.size());
    for (const std::size_t blockSize : {1u, 3u, 55u, 1023u, 1024u, 1025u}) {
        SCOPED_TRACE(blockSize);
        EXPECT_EQ(limited(speech, settings, blockSize), whole);
    }
}

}  // namespace
}  // namespace quen::test
