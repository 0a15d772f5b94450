// The active speech level: the dBm0 reference, tone bursts whose answer follows from the
// method's own terms (envelope, thresholds, hangover, margin), silence, levels near the
// bottom of the range, DC offsets, 16-bit input and block boundaries.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "dsp/SpeechLevel.h"
#include "tests/TestSignals.h"

namespace quen::test {
namespace {

constexpr double TIME_CONSTANT = 0.03;
constexpr double HANGOVER = 0.2;
constexpr double MARGIN_DB = 15.9;

// Solves f(x) = target for x in [0, 50] by bisection; f rises with x.
template <typename F>
double solveRising(F f, double target) {
    double low = 0.0;
    double high = 50.0;
    for (int i = 0; i < 100; ++i) {
        const double middle = (low + high) / 2.0;
        (f(middle) < target ? low : high) = middle;
    }
    return low;
}

struct Expected {
    double levelDbm0;
    double activity;
};

// The method's answer for tone bursts, worked out in continuous time: the envelope of a
// sine of amplitude A settles at its rectified mean 2A/pi; after two smoothing stages it
// climbs past a threshold at the fraction r of that mean when 1 - e^-x (1 + x) = r and
// falls back below it when e^-x (1 + x) = r (x in time constants). Each burst is active
// from the climb to the fall plus the hangover; a pause that these bridge is active
// throughout, and only the first burst climbs. The threshold that matters lies the margin
// below the level over the active time.
// A level beyond the thresholds' reach is read at the nearest threshold,
// `fixedThreshold`.
Expected burstAnswer(double amplitude, double onSeconds, double offSeconds, int periods,
                     double fixedThreshold = 0.0) {
    const double toneRms = amplitude / std::numbers::sqrt2;
    const double envelope = 2.0 * amplitude / std::numbers::pi;
    double activeRms = toneRms;
    double activeSeconds = onSeconds;
    for (int i = 0; i < 20; ++i) {
        const double ratio =
            (fixedThreshold > 0.0 ? fixedThreshold
                                  : activeRms * std::pow(10.0, -MARGIN_DB / 20.0)) /
            envelope;
        const double rise =
            TIME_CONSTANT *
            solveRising([](double x) { return 1.0 - std::exp(-x) * (1.0 + x); }, ratio);
        const double fall =
            TIME_CONSTANT * solveRising([](double x) { return -std::exp(-x) * (1.0 + x); }, -ratio);
        activeSeconds = fall + HANGOVER < offSeconds ? onSeconds - rise + fall + HANGOVER
                                                     : onSeconds + offSeconds - rise / periods;
        activeRms = toneRms * std::sqrt(onSeconds / activeSeconds);
    }
    return {dbm0FromRms(activeRms), activeSeconds / (onSeconds + offSeconds)};
}

// The peak amplitude, on full scale 1.0, of a sine at `dbm0`: 0 dBm0 is a full-scale
// sine.
double sineAmplitude(double dbm0) {
    return std::pow(10.0, dbm0 / 20.0);
}

TEST(SpeechLevel, ZeroDbm0IsAFullScaleSineAndMinus19IsRms2600) {
    EXPECT_NEAR(dbm0FromRms(2600.0 / FULL_SCALE_16BIT), -19.0, 0.005);
    EXPECT_NEAR(dbm0FromRms(1.0 / std::numbers::sqrt2), 0.0, 1e-9);
}

// Bursts of every shape; long ones read at the tone level, as the method's answer is;
// levels beyond the thresholds' reach read at the nearest one; times follow the rate.
TEST(SpeechLevel, ToneBurstsReadAsTheMethodDefines) {
    struct Case {
        double levelDbm0;  // of the tone while it sounds
        double frequencyHz;
        double onSeconds;
        double offSeconds;
        int periods;
        double fixedThreshold = 0.0;  // the nearest threshold, for levels beyond them
        double rate = TEST_SAMPLE_RATE;
    };
    const Case cases[] = {
        {-19.0, 1000.0, 1.0, 1.0, 5},
        {-40.0, 1000.0, 1.0, 1.0, 5},
        {0.0, 1000.0, 1.0, 1.0, 5},
        {-60.0, 440.0, 1.0, 1.0, 5},
        {-70.0, 1000.0, 1.0, 1.0, 3},
        {-26.0, 300.0, 0.5, 1.5, 8},
        {-10.0, 2500.0, 2.0, 1.0, 4},
        {-19.0, 1000.0, 5.0, 5.0, 2},
        {-19.0, 1000.0, 10.0, 10.0, 2},
        {-19.0, 1000.0, 0.3, 0.1, 20},  // pauses shorter than the hangover
        {-19.0, 1000.0, 1.0, 0.2, 1},   // the hangover at the end counts up to the end
        // Too quiet for the lowest threshold (one 16-bit step) to lie the margin below.
        {-78.0, 1000.0, 1.0, 1.0, 3, 1.0 / 32768.0},
        // Past full scale, as floating-point sources can be: the highest one, 1.0.
        {30.0, 1000.0, 1.0, 1.0, 3, 1.0},
        {-30.0, 1000.0, 1.0, 1.0, 4, 0.0, 16000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.levelDbm0 << " dBm0, " << c.onSeconds << " s on, "
                                        << c.offSeconds << " s off, " << c.rate << " Hz");
        const double amplitude = sineAmplitude(c.levelDbm0);
        const auto signal =
            toneBursts(amplitude, c.frequencyHz, c.onSeconds, c.offSeconds, c.periods, c.rate);
        const SpeechLevel level = measureSpeechLevel(signal, c.rate);
        const Expected expected =
            burstAnswer(amplitude, c.onSeconds, c.offSeconds, c.periods, c.fixedThreshold);
        ASSERT_TRUE(level.activeLevelDbm0.has_value());
        EXPECT_NEAR(*level.activeLevelDbm0, expected.levelDbm0, 0.2);
        EXPECT_NEAR(level.activityFactor, expected.activity, 0.005);
        if (c.fixedThreshold == 0.0 && c.onSeconds >= 10.0) {
            EXPECT_NEAR(*level.activeLevelDbm0, c.levelDbm0, 0.2);
        }
    }
}

TEST(SpeechLevel, AContinuousToneIsActiveThroughout) {
    for (const double levelDbm0 : {-3.0, -19.0, -45.0}) {
        SCOPED_TRACE(levelDbm0);
        const double amplitude = sineAmplitude(levelDbm0);
        const SpeechLevel level = measureSpeechLevel(sine(amplitude, 1000.0, 80000));
        ASSERT_TRUE(level.activeLevelDbm0.has_value());
        EXPECT_NEAR(*level.activeLevelDbm0, levelDbm0, 0.05);
        EXPECT_GT(level.activityFactor, 0.99);
        EXPECT_LE(level.activityFactor, 1.0);
    }
}

TEST(SpeechLevel, SilenceHasNoActiveSpeech) {
    const std::vector<std::vector<float>> silences = {
        {},
        std::vector<float>(80000, 0.0f),
        // Beneath the lowest threshold, a 16-bit step: nothing to count.
        sine(1e-5, 1000.0, 80000),
    };
    for (const auto& silence : silences) {
        SCOPED_TRACE(silence.size());
        const SpeechLevel level = measureSpeechLevel(silence);
        EXPECT_FALSE(level.activeLevelDbm0.has_value());
        EXPECT_EQ(level.activityFactor, 0.0);
    }
}

// The offset counts as power, as it does in the long-term level, but not as activity.
TEST(SpeechLevel, ADcOffsetAddsItsPowerButFillsNoPause) {
    const double amplitude = sineAmplitude(-25.0);
    const auto clean = toneBursts(amplitude, 1000.0, 1.0, 1.0, 5);
    for (const float offset : {0.2f, -0.05f, 0.02f}) {
        SCOPED_TRACE(offset);
        auto shifted = clean;
        for (float& sample : shifted) {
            sample += offset;
        }
        const SpeechLevel expected = measureSpeechLevel(clean);
        const SpeechLevel level = measureSpeechLevel(shifted);
        ASSERT_TRUE(level.activeLevelDbm0.has_value());
        const double cleanRms = std::pow(10.0, *expected.activeLevelDbm0 / 20.0) *
                                DBM0_REFERENCE_RMS_16BIT / FULL_SCALE_16BIT;
        EXPECT_NEAR(*level.activeLevelDbm0,
                    dbm0FromRms(std::sqrt(cleanRms * cleanRms + double{offset} * offset)), 0.05);
        EXPECT_NEAR(level.activityFactor, expected.activityFactor, 0.01);

        // Kept, the offset is activity in every pause.
        SpeechLevelMeter raw(TEST_SAMPLE_RATE, false);
        raw.add(std::span<const float>(shifted));
        EXPECT_GT(raw.result().activityFactor, 0.99);
    }
}

// Near silence, as codecs leave it: A-law's quietest codes decode to +/-8, so dithered
// silence comes back as +8 and -8 in some mix, an offset with a little noise. Read
// against the long-term level (an RMS of 8: every sample sounds alike, so all count
// active), the active level may never be below it.
TEST(SpeechLevel, NearSilenceNeverReadsBelowItsLongTermLevel) {
    struct Case {
        const char* what;
        double shareHigh;  // of the samples that are +8, the others -8
    };
    const Case cases[] = {{"a quarter -8", 0.75}, {"one in eight -8", 0.875}, {"even", 0.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::uint32_t state = 12345;
        std::vector<std::int16_t> samples(80000);
        for (std::int16_t& sample : samples) {
            state = state * 1664525u + 1013904223u;
            sample = (state >> 8) % 1000 < c.shareHigh * 1000 ? 8 : -8;
        }
        const double longTermDbm0 = dbm0FromRms(8.0 / FULL_SCALE_16BIT);
        const SpeechLevel level = measureSpeechLevel(samples);
        ASSERT_TRUE(level.activeLevelDbm0.has_value());
        EXPECT_GE(*level.activeLevelDbm0, longTermDbm0);
        EXPECT_NEAR(*level.activeLevelDbm0, longTermDbm0, 0.5);
    }
}

TEST(SpeechLevel, SixteenBitSamplesReadLikeTheirFloatingPointValues) {
    // 1020 Hz, so no chunk of the conversion starts on a zero crossing.
    const auto tone = toneBursts(2600.0 * std::numbers::sqrt2, 1020.0, 1.0, 1.0, 3);
    std::vector<std::int16_t> pcm(tone.size());
    std::vector<float> scaled(tone.size());
    for (std::size_t i = 0; i < tone.size(); ++i) {
        pcm[i] = static_cast<std::int16_t>(std::lround(tone[i]));
        scaled[i] = static_cast<float>(pcm[i] / FULL_SCALE_16BIT);
    }
    const SpeechLevel fromPcm = measureSpeechLevel(pcm);
    const SpeechLevel fromFloat = measureSpeechLevel(scaled);
    ASSERT_TRUE(fromPcm.activeLevelDbm0.has_value());
    EXPECT_DOUBLE_EQ(*fromPcm.activeLevelDbm0, *fromFloat.activeLevelDbm0);
    EXPECT_NEAR(*fromPcm.activeLevelDbm0,
                burstAnswer(2600.0 * std::numbers::sqrt2 / FULL_SCALE_16BIT, 1.0, 1.0, 3).levelDbm0,
                0.2);

    // An RMS of 2600 throughout is -19 dBm0.
    std::vector<std::int16_t> steady(40000);
    for (std::size_t i = 0; i < steady.size(); ++i) {
        steady[i] = static_cast<std::int16_t>(std::lround(
            2600.0 * std::numbers::sqrt2 * std::sin(2.0 * std::numbers::pi * 1020.0 * i / 8000.0)));
    }
    EXPECT_NEAR(*measureSpeechLevel(steady).activeLevelDbm0, -19.0, 0.05);
}

TEST(SpeechLevel, BlockBoundariesDoNotChangeTheReading) {
    const auto speech = speechLikeNoise(6.0, 3);
    const SpeechLevel whole = measureSpeechLevel(speech);
    ASSERT_TRUE(whole.activeLevelDbm0.has_value());
    for (const std::size_t blockSize : {1u, 160u, 4095u, 4097u, 10000u}) {
        SCOPED_TRACE(blockSize);
        SpeechLevelMeter meter;
        inBlocks(speech, blockSize, [&](std::span<const float> block) { meter.add(block); });
        const SpeechLevel level = meter.result();
        EXPECT_EQ(level.activeLevelDbm0, whole.activeLevelDbm0);
        EXPECT_EQ(level.activityFactor, whole.activityFactor);
    }
}

}  // namespace
}  // namespace quen::test
