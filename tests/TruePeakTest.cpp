// The true-peak meter: sines across the telephone band at any phase read at their
// amplitude, peaks between samples are found, the last samples are read, and block
// boundaries do not matter.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/Oversampler.h"
#include "dsp/TruePeak.h"
#include "tests/TestSignals.h"

namespace quen::test {
namespace {

double truePeakOf(const std::vector<float>& samples) {
    TruePeakMeter meter;
    meter.add(samples);
    return meter.truePeak();
}

TEST(TruePeak, EachSegmentsPeakComesDelaySamplesLate) {
    // An impulse: its own segment peaks at its height exactly, the segment before at the
    // sinc a quarter sample away, under it; one long input, taken whole.
    std::vector<float> impulse(3000, 0.0f);
    const std::size_t at = 2500;
    impulse[at] = 0.5f;
    std::vector<float> peaks(impulse.size());
    Oversampler4x oversampler;
    oversampler.segmentPeaks(impulse, peaks);
    const std::size_t late = at + Oversampler4x::DELAY;
    EXPECT_EQ(peaks[late], 0.5f);
    EXPECT_NEAR(peaks[late - 1], 0.5 * std::sin(std::numbers::pi / 4.0) / (std::numbers::pi / 4.0),
                0.01);
    EXPECT_LT(peaks[late + 1], 0.5f);
    EXPECT_LT(peaks[late - 2], 0.2f);
    // The interpolator is symmetric: the segment j after the impulse's and the one j before
    // it hold points at the same distances from the impulse, out to the filter's last tap.
    for (std::size_t j = 1; j <= Oversampler4x::DELAY + 1; ++j) {
        EXPECT_NEAR(peaks[late + j], peaks[late - 1 - j], 1e-7) << j;
    }
}

TEST(TruePeak, SinesReadAtTheirAmplitudeAtAnyPhase) {
    // Four points a sample catch a sine's crest to within half a point's angle: at a
    // quarter of the sample rate that costs up to 0.17 dB. 2000 Hz at phase step 2 puts
    // every sample at 0.707 of the crest, which lies between them.
    for (const double frequency : {100.0, 440.0, 1000.0, 2000.0, 3000.0, 3400.0, 3600.0}) {
        for (int step = 0; step < 16; ++step) {
            SCOPED_TRACE(testing::Message() << frequency << " Hz, phase step " << step);
            auto tone = sine(0.5, frequency, 8000, step * std::numbers::pi / 8.0);
            fadeEnds(tone, 400);
            const double errorDb = 20.0 * std::log10(truePeakOf(tone) / 0.5);
            EXPECT_LE(errorDb, 0.01);
            EXPECT_GE(errorDb, -0.2);
        }
    }
}

TEST(TruePeak, ReadsEverySampleUpToTheLast) {
    for (const std::size_t length : {1u, 5u, 16u, 17u, 3000u}) {
        SCOPED_TRACE(length);
        std::vector<float> samples(length, 0.0f);
        samples.back() = -0.75f;
        // A lone sample rings a little above itself between its neighbours.
        EXPECT_GE(truePeakOf(samples), 0.75);
        EXPECT_LT(truePeakOf(samples), 0.75 * 1.1);
    }
    TruePeakMeter silence;
    EXPECT_EQ(silence.truePeak(), 0.0);
    EXPECT_EQ(silence.truePeakDbfs(), -INFINITY);
}

TEST(TruePeak, BlockBoundariesDoNotChangeTheReading) {
    const auto speech = speechLikeNoise(3.0, 5);
    const double whole = truePeakOf(speech);
    for (const std::size_t blockSize : {1u, 7u, 1023u, 1024u, 1025u}) {
        SCOPED_TRACE(blockSize);
        TruePeakMeter meter;
        inBlocks(speech, blockSize, [&](std::span<const float> block) { meter.add(block); });
        EXPECT_EQ(meter.truePeak(), whole);
    }
    // Every segment's peak, not only the largest: blocks of one and seven samples are
    // filtered one output at a time, longer ones in groups held in vector registers.
    std::vector<float> wholePeaks(speech.size());
    Oversampler4x().segmentPeaks(speech, wholePeaks);
    for (const std::size_t blockSize : {1u, 7u, 1025u}) {
        SCOPED_TRACE(blockSize);
        Oversampler4x oversampler;
        std::vector<float> peaks(speech.size());
        std::size_t at = 0;
        inBlocks(speech, blockSize, [&](std::span<const float> block) {
            oversampler.segmentPeaks(block, std::span(peaks).subspan(at, block.size()));
            at += block.size();
        });
        EXPECT_EQ(peaks, wholePeaks);
    }
}

}  // namespace
}  // namespace quen::test
