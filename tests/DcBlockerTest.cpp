// DC removal: an offset goes, from the first sample on, the voice band passes at its
// level, and block boundaries do not change the output.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/DcBlocker.h"
#include "tests/TestSignals.h"

namespace quen::test {
namespace {

std::vector<float> blocked(std::vector<float> samples) {
    DcBlocker blocker(TEST_SAMPLE_RATE);
    blocker.process(samples);
    return samples;
}

TEST(DcBlocker, RemovesAnOffsetPresentFromTheStart) {
    for (const float offset : {0.5f, -0.01f}) {
        SCOPED_TRACE(offset);
        const auto output = blocked(std::vector<float>(8000, offset));
        for (const float sample : output) {
            EXPECT_NEAR(sample, 0.0f, 1e-6);
        }
    }
}

TEST(DcBlocker, RemovesAnOffsetThatAppearsLater) {
    std::vector<float> input(16000, 0.0f);
    std::fill(input.begin() + 4000, input.end(), 0.3f);
    const auto output = blocked(input);
    // Gone within a few time constants of the cutoff (10 ms at 15 Hz).
    for (std::size_t i = 4000 + 800; i < output.size(); ++i) {
        ASSERT_NEAR(output[i], 0.0f, 0.3 * 1e-3) << i;
    }
}

TEST(DcBlocker, PassesTheVoiceBandAtItsLevel) {
    for (const double frequency : {100.0, 300.0, 1000.0, 3400.0}) {
        SCOPED_TRACE(frequency);
        auto input = sine(0.5, frequency, 16000);
        for (float& sample : input) {
            sample += 0.2f;
        }
        const auto output = blocked(input);
        const std::span<const float> settled(output.data() + 8000, 8000);
        const double gainDb = 20.0 * std::log10(rmsOf(settled) / (0.5 / std::sqrt(2.0)));
        EXPECT_NEAR(gainDb, 0.0, frequency < 300.0 ? 0.1 : 0.02);
    }
}

TEST(DcBlocker, BlockBoundariesDoNotChangeTheOutput) {
    auto input = speechLikeNoise(2.0, 7);
    for (float& sample : input) {
        sample += 0.1f;
    }
    const auto whole = blocked(input);
    for (const std::size_t blockSize : {1u, 3u, 4096u}) {
        SCOPED_TRACE(blockSize);
        auto pieces = input;
        DcBlocker blocker(TEST_SAMPLE_RATE);
        for (std::size_t start = 0; start < pieces.size(); start += blockSize) {
            blocker.process(
                std::span(pieces).subspan(start, std::min(blockSize, pieces.size() - start)));
        }
        EXPECT_EQ(pieces, whole);
    }
}

}  // namespace
}  // namespace quen::test
