// G.711 codes: every 16-bit sample against a plain transcription of the quantisation
// tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "audio/G711Encoder.h"

namespace quen::test {
namespace {

// The tables row by row: quantised magnitudes v from the row's first on lie in its
// segment, with step floor((v - first) / divisor).
constexpr int MU_LAW[8][2] = {{0, 2},    {31, 4},   {95, 8},     {223, 16},
                              {479, 32}, {991, 64}, {2015, 128}, {4063, 256}};
constexpr int A_LAW[8][2] = {{0, 2},    {32, 2},   {64, 4},    {128, 8},
                             {256, 16}, {512, 32}, {1024, 64}, {2048, 128}};

// Segment bits and step of the sample's magnitude shifted right by `shift` (v). The
// magnitude is taken before quantising, with -32768 counting as 32767; only mu-law's
// last row reaches beyond step 15.
int quantised(const int (&table)[8][2], std::int16_t sample, int shift) {
    const int v = std::min(std::abs(sample), 32767) >> shift;
    int segment = 7;
    while (v < table[segment][0]) {
        --segment;
    }
    return segment << 4 | std::min(15, (v - table[segment][0]) / table[segment][1]);
}

std::uint8_t referenceMuLaw(std::int16_t sample) {
    return static_cast<std::uint8_t>(~((sample < 0 ? 0x80 : 0) | quantised(MU_LAW, sample, 2)));
}

std::uint8_t referenceALaw(std::int16_t sample) {
    return static_cast<std::uint8_t>(((sample < 0 ? 0 : 0x80) | quantised(A_LAW, sample, 3)) ^
                                     0x55);
}

TEST(G711EncoderTest, EverySampleMatchesTheTables) {
    for (int s = -32768; s <= 32767; ++s) {
        const auto sample = static_cast<std::int16_t>(s);
        ASSERT_EQ(linearToMuLaw(sample), referenceMuLaw(sample)) << "sample " << s;
        ASSERT_EQ(linearToALaw(sample), referenceALaw(sample)) << "sample " << s;
    }
}

}  // namespace
}  // namespace quen::test
