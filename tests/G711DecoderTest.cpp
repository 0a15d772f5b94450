// G.711 expansion against worked values and against the encoder over every sample;
// the WAV image header and the level figures against hand-worked numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "audio/AudioLevels.h"
#include "audio/G711Decoder.h"
#include "audio/G711Encoder.h"
#include "audio/WavWriter.h"

namespace quen {
namespace {

TEST(G711Decoder, WorkedValues) {
    // Silence, the smallest step either side of zero, and the largest magnitudes.
    struct Case {
        std::int16_t (*decode)(std::uint8_t);
        std::uint8_t code;
        std::int16_t sample;
    };
    const Case cases[] = {
        {aLawToLinear, 0xD5, 8},       {aLawToLinear, 0x55, -8},     {aLawToLinear, 0xD4, 24},
        {aLawToLinear, 0xAA, 32256},   {aLawToLinear, 0x2A, -32256}, {muLawToLinear, 0xFF, 0},
        {muLawToLinear, 0x7F, 0},      {muLawToLinear, 0xFE, 8},     {muLawToLinear, 0x80, 32124},
        {muLawToLinear, 0x00, -32124},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << int{c.code});
        EXPECT_EQ(c.decode(c.code), c.sample);
    }
}

// Decoding what the encoder made of a sample lands within the step of that sample's
// segment: 16 << (segment - 1) for A-law (16 in segment 0), 8 << segment for mu-law.
TEST(G711Decoder, EncodeDecodeStaysWithinTheSegmentStep) {
    for (int sample = -32768; sample <= 32767; ++sample) {
        const auto value = static_cast<std::int16_t>(sample);
        const std::uint8_t aCode = linearToALaw(value);
        const int aSegment = (aCode ^ 0x55) >> 4 & 7;
        const int aStep = aSegment == 0 ? 16 : 16 << (aSegment - 1);
        ASSERT_LE(std::abs(aLawToLinear(aCode) - sample), aStep) << sample;
        const std::uint8_t muCode = linearToMuLaw(value);
        const int muStep = 8 << ((~muCode >> 4) & 7);
        ASSERT_LE(std::abs(muLawToLinear(muCode) - sample), muStep) << sample;
    }
}

TEST(WavImage, CanonicalHeaderThenLittleEndianSamples) {
    const std::int16_t samples[] = {1, -2};
    const std::vector<std::uint8_t> expected{
        'R', 'I', 'F', 'F', 40,  0,   0,   0,   'W',  'A',  'V', 'E', 'f',  'm',  't',  ' ',
        16,  0,   0,   0,   1,   0,   1,   0,   0x40, 0x1F, 0,   0,   0x80, 0x3E, 0,    0,
        2,   0,   16,  0,   'd', 'a', 't', 'a', 4,    0,    0,   0,   1,    0,    0xFE, 0xFF};
    EXPECT_EQ(wavImage(samples), expected);
}

TEST(AudioLevels, PeakRmsClippingAndSilentEnds) {
    // Silence threshold -50 dBFS is 103.6 in sample units.
    const std::int16_t samples[] = {0, 103, -103, 16384, -32768, 32767, 104, 50, 0};
    const AudioLevels levels = measureLevels(samples);
    EXPECT_EQ(levels.samples, 9u);
    EXPECT_DOUBLE_EQ(levels.peakDbfs, 0.0);
    const double rms = std::sqrt((2 * 103.0 * 103 + 16384.0 * 16384 + 32768.0 * 32768 +
                                  32767.0 * 32767 + 104 * 104 + 50 * 50) /
                                 9);
    EXPECT_NEAR(levels.rmsDbfs, 20 * std::log10(rms / 32768), 1e-9);
    EXPECT_EQ(levels.clippedSamples, 2u);
    EXPECT_EQ(levels.leadingSilence, 3u);
    EXPECT_EQ(levels.trailingSilence, 2u);

    const std::int16_t quiet[] = {0, 50, -100};
    const AudioLevels silent = measureLevels(quiet);
    EXPECT_EQ(silent.leadingSilence, 3u);
    EXPECT_EQ(silent.trailingSilence, 3u);
    EXPECT_TRUE(std::isinf(measureLevels({}).rmsDbfs));
}

}  // namespace
}  // namespace quen
