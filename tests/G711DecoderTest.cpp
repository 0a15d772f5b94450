// G.711 expansion against the encoder over every sample, which its own test checks
// against the tables.
#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/G711Decoder.h"
#include "audio/G711Encoder.h"

namespace quen {
namespace {

// Decoding what the encoder made of a sample lands within the step of that sample's
// segment: 16 << (segment - 1) for A-law (16 in segment 0), 8 << segment for mu-law.
TEST(G711Decoder, EncodeDecodeStaysWithinTheSegmentStep) {
    for (int sample = -32768; sample <= 32767; ++sample) {
        const std::uint8_t aCode = linearToALaw(std::int16_t(sample));
        const int aSegment = (aCode ^ 0x55) >> 4 & 7;
        const int aStep = aSegment == 0 ? 16 : 16 << (aSegment - 1);
        ASSERT_LE(std::abs(aLawToLinear(aCode) - sample), aStep) << sample;
        const std::uint8_t muCode = linearToMuLaw(std::int16_t(sample));
        ASSERT_LE(std::abs(muLawToLinear(muCode) - sample), 8 << ((~muCode >> 4) & 7)) << sample;
    }
}

}  // namespace
}  // namespace quen
