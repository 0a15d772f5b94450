// Samples a damaged or hostile floating-point file can hold (not a number, infinite,
// finite but past what a gain can carry): every stage of the sound processing reads them
// as silence, and the rest of the recording comes through as if they had been silence.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "dsp/DcBlocker.h"
#include "dsp/PeakLimiter.h"
#include "dsp/SpeechLevel.h"
#include "dsp/TruePeak.h"
#include "tests/TestSignals.h"

namespace quen::test {
namespace {

std::vector<float> limited(const std::vector<float>& input, double gainDb) {
    LimiterSettings settings;
    settings.gainDb = gainDb;
    PeakLimiter limiter(settings);
    std::vector<float> output;
    limiter.process(input, output);
    limiter.finish(output);
    return output;
}

TEST(NonFiniteSamples, ReadAsSilenceByEveryStage) {
    const float damaged[] = {std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};
    const auto clean = speechLikeNoise(3.0, 21);
    for (const float bad : damaged) {
        SCOPED_TRACE(bad);
        auto input = clean;
        auto silenced = clean;
        for (const std::size_t at : {0u, 5000u, 5001u, 12000u}) {
            input[at] = bad;
            silenced[at] = 0.0f;
        }

        DcBlocker blocker(TEST_SAMPLE_RATE);
        DcBlocker reference(TEST_SAMPLE_RATE);
        auto filtered = input;
        auto expectedFiltered = silenced;
        blocker.process(filtered);
        reference.process(expectedFiltered);
        EXPECT_EQ(filtered, expectedFiltered);

        const SpeechLevel level = measureSpeechLevel(input);
        const SpeechLevel expectedLevel = measureSpeechLevel(silenced);
        ASSERT_TRUE(level.activeLevelDbm0.has_value());
        EXPECT_EQ(*level.activeLevelDbm0, *expectedLevel.activeLevelDbm0);
        EXPECT_EQ(level.activityFactor, expectedLevel.activityFactor);

        TruePeakMeter meter;
        TruePeakMeter expectedMeter;
        meter.add(input);
        expectedMeter.add(silenced);
        EXPECT_EQ(meter.truePeak(), expectedMeter.truePeak());

        EXPECT_EQ(limited(input, 20.0), limited(silenced, 20.0));
    }
}

TEST(NonFiniteSamples, SamplesFarPastFullScaleComeOutUnderTheCeiling) {
    // Limiting first leaves rounding in the limiter's sums; then samples whose gain
    // must be far below anything that rounding could hide, and one past the float range.
    std::vector<float> input = speechLikeNoise(1.0, 13);
    const std::size_t spikes = input.size() + 200;
    input.resize(input.size() + 4000, 0.0f);
    input[spikes] = 1e20f;
    input[spikes + 1] = -3e25f;
    input[spikes + 900] = 3e38f;
    for (const float sample : limited(input, 30.0)) {
        ASSERT_TRUE(std::isfinite(sample));
        ASSERT_LE(std::fabs(sample), 1.0f);
    }
}

}  // namespace
}  // namespace quen::test
