// G.711 codes: the worked values, every 16-bit sample against a plain transcription
// of the quantisation tables, and the buffer encoder's lengths and law choice.
#include <gtest/gtest.h>

#include <cstdint>

#include "audio/G711Encoder.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

// The magnitude as the tables take it: -32768 counts as 32767.
int magnitudeOf(int sample) {
    return sample < 0 ? (sample == -32768 ? 32767 : -sample) : sample;
}

// The mu-law table row by row, as a comparison chain.
std::uint8_t referenceMuLaw(std::int16_t sample) {
    const int sign = sample < 0 ? 0x80 : 0x00;
    const int v = magnitudeOf(sample) / 4;
    int code = 0;
    if (v <= 30) {
        code = 0x00 | v / 2;
    } else if (v <= 94) {
        code = 0x10 | (v - 31) / 4;
    } else if (v <= 222) {
        code = 0x20 | (v - 95) / 8;
    } else if (v <= 478) {
        code = 0x30 | (v - 223) / 16;
    } else if (v <= 990) {
        code = 0x40 | (v - 479) / 32;
    } else if (v <= 2014) {
        code = 0x50 | (v - 991) / 64;
    } else if (v <= 4062) {
        code = 0x60 | (v - 2015) / 128;
    } else {
        const int step = (v - 4063) / 256;
        code = 0x70 | (step > 15 ? 15 : step);
    }
    return static_cast<std::uint8_t>(~(sign | code));
}

// The A-law table row by row, as a comparison chain.
std::uint8_t referenceALaw(std::int16_t sample) {
    const int sign = sample < 0 ? 0x00 : 0x80;
    const int v = magnitudeOf(sample) / 8;
    int code = 0;
    if (v <= 31) {
        code = 0x00 | v / 2;
    } else if (v <= 63) {
        code = 0x10 | (v - 32) / 2;
    } else if (v <= 127) {
        code = 0x20 | (v - 64) / 4;
    } else if (v <= 255) {
        code = 0x30 | (v - 128) / 8;
    } else if (v <= 511) {
        code = 0x40 | (v - 256) / 16;
    } else if (v <= 1023) {
        code = 0x50 | (v - 512) / 32;
    } else if (v <= 2047) {
        code = 0x60 | (v - 1024) / 64;
    } else {
        code = 0x70 | (v - 2048) / 128;
    }
    return static_cast<std::uint8_t>((sign | code) ^ 0x55);
}

TEST(G711EncoderTest, WorkedValues) {
    struct Row {
        std::int16_t sample;
        std::uint8_t muLaw;
        std::uint8_t aLaw;
    };
    const Row rows[] = {
        {0, 0xFF, 0xD5},     {-1, 0x7F, 0x55},    {4, 0xFF, 0xD5},      {8, 0xFE, 0xD5},
        {-8, 0x7E, 0x55},    {100, 0xF3, 0xD3},   {1000, 0xCE, 0xFA},   {-1000, 0x4E, 0x7A},
        {32635, 0x80, 0xAA}, {32767, 0x80, 0xAA}, {-32767, 0x00, 0x2A}, {-32768, 0x00, 0x2A},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sample);
        EXPECT_EQ(linearToMuLaw(row.sample), row.muLaw);
        EXPECT_EQ(linearToALaw(row.sample), row.aLaw);
    }
}

TEST(G711EncoderTest, EverySampleMatchesTheTables) {
    int muMismatches = 0;
    int aMismatches = 0;
    for (int s = -32768; s <= 32767; ++s) {
        const auto sample = static_cast<std::int16_t>(s);
        if (linearToMuLaw(sample) != referenceMuLaw(sample)) {
            ADD_FAILURE() << "mu-law differs at " << s;
            ++muMismatches;
        }
        if (linearToALaw(sample) != referenceALaw(sample)) {
            ADD_FAILURE() << "A-law differs at " << s;
            ++aMismatches;
        }
        ASSERT_LT(muMismatches + aMismatches, 10) << "giving up after ten differences";
    }
}

class EncodeBufferTest : public ::testing::Test {
  protected:
    // Encodes `pcm` into a buffer one byte longer than needed, filled with a marker,
    // and checks that the encoder stopped where its result says.
    Bytes encode(const Bytes& pcm, std::int32_t cpType) {
        Bytes out(pcm.size() / 2 + 1, MARKER);
        const std::int32_t written = G711Encoder().encodeBuffer(pcm, out, cpType);
        EXPECT_EQ(written, static_cast<std::int32_t>(pcm.size() / 2));
        EXPECT_EQ(out.back(), MARKER) << "wrote past its result";
        out.pop_back();
        return out;
    }

    static constexpr std::uint8_t MARKER = 0xA5;
};

TEST_F(EncodeBufferTest, OneCodePerSampleInOrder) {
    // 3201 bytes: 1600 samples and an odd byte.
    const std::vector<std::int16_t> samples = testSignal(1600);
    Bytes pcm = sampleBytes(samples);
    pcm.push_back(0x7F);
    const Bytes aLaw = encode(pcm, 137);
    const Bytes muLaw = encode(pcm, 138);
    ASSERT_EQ(aLaw.size(), 1600u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(aLaw[i], referenceALaw(samples[i])) << "sample " << i;
        ASSERT_EQ(muLaw[i], referenceMuLaw(samples[i])) << "sample " << i;
    }
}

TEST_F(EncodeBufferTest, OddLastByteIsNoSample) {
    Bytes pcm = sampleBytes(testSignal(500));
    pcm.push_back(0x80);
    EXPECT_EQ(encode(pcm, 137).size(), 500u);
    EXPECT_TRUE(encode({}, 137).empty());
    EXPECT_TRUE(encode({0x12}, 138).empty());
}

TEST_F(EncodeBufferTest, OnlyCode138IsMuLaw) {
    const Bytes pcm = sampleBytes(testSignal(800));
    const Bytes aLaw = encode(pcm, 137);
    EXPECT_EQ(encode(pcm, 140), aLaw);
    EXPECT_EQ(encode(pcm, 139), aLaw);
    EXPECT_EQ(encode(pcm, 0), aLaw);
    EXPECT_NE(encode(pcm, 138), aLaw);
}

TEST_F(EncodeBufferTest, ReadsUnalignedSamples) {
    const Bytes pcm = sampleBytes({1000, -1000, 32767});
    Bytes shifted{0x00};
    shifted.insert(shifted.end(), pcm.begin(), pcm.end());
    Bytes out(3);
    G711Encoder().encodeBuffer(std::span<const std::uint8_t>(shifted).subspan(1), out, 138);
    EXPECT_EQ(out, (Bytes{0xCE, 0x4E, 0x80}));
}

}  // namespace
}  // namespace quen::test
