// The compression entry: buffer sizes by codec, the codes that choose the law, and
// what a refused input leaves behind.
#include <gtest/gtest.h>

#include "audio/CompressWaveData.h"
#include "audio/G711Encoder.h"
#include "tests/LogCaptureTest.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

class CompressWaveDataTest : public LogCaptureTest {
  protected:
    std::optional<CompressedAudio> compress(const Bytes& dataBytes, std::int32_t cpType) {
        body_ = riffBody({formatChunk(), dataChunk(dataBytes)});
        return compressWaveData(body_, static_cast<std::uint32_t>(body_.size()), cpType);
    }

  private:
    Bytes body_;
};

TEST_F(CompressWaveDataTest, G711OddLengthAllocatesOneByteMore) {
    Bytes data = sampleBytes(testSignal(500));
    data.push_back(0x33);
    const auto audio = compress(data, 137);
    ASSERT_TRUE(audio.has_value());
    EXPECT_EQ(audio->buffer.size(), 501u);
    EXPECT_EQ(audio->length, 500);
    EXPECT_FALSE(audio->codecFailed);
    const std::vector<std::int16_t> samples = testSignal(500);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(audio->stream()[i], linearToALaw(samples[i])) << "sample " << i;
    }
    EXPECT_EQ(logText(), "");
}

TEST_F(CompressWaveDataTest, CodeChoosesTheLaw) {
    const Bytes data = sampleBytes({1000, -1000, 0});
    const auto muLaw = compress(data, 138);
    const auto aLaw = compress(data, 137);
    const auto other = compress(data, 140);
    ASSERT_TRUE(muLaw && aLaw && other);
    EXPECT_EQ(Bytes(muLaw->stream().begin(), muLaw->stream().end()), (Bytes{0xCE, 0x4E, 0xFF}));
    EXPECT_EQ(Bytes(aLaw->stream().begin(), aLaw->stream().end()), (Bytes{0xFA, 0x7A, 0xD5}));
    EXPECT_EQ(other->buffer, aLaw->buffer);
}

TEST_F(CompressWaveDataTest, EmptyDataGivesAnEmptyBuffer) {
    const auto audio = compress({}, 137);
    ASSERT_TRUE(audio.has_value());
    EXPECT_TRUE(audio->buffer.empty());
    EXPECT_EQ(audio->length, 0);
}

TEST_F(CompressWaveDataTest, G723KeepsWholeBlocksOnly) {
    // Whatever the codec makes of them, the buffer has room for whole 480-byte blocks
    // only, and a codec that reports no failure fills it.
    const struct {
        std::size_t dataBytes;
        std::size_t bufferBytes;
    } rows[] = {{0, 0}, {479, 0}, {480, 24}, {481, 24}, {4800, 240}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.dataBytes);
        const auto audio = compress(Bytes(row.dataBytes, 0), 139);
        ASSERT_TRUE(audio.has_value());
        EXPECT_EQ(audio->buffer.size(), row.bufferBytes);
        if (!audio->codecFailed) {
            EXPECT_EQ(audio->length, static_cast<std::int32_t>(row.bufferBytes));
        }
    }
}

TEST_F(CompressWaveDataTest, RefusedInputGivesNoBufferAndOneMessage) {
    WavFormat stereo;
    stereo.channels = 2;
    const Bytes body = riffBody({formatChunk(stereo), dataChunk(testSignal(10))});
    EXPECT_FALSE(compressWaveData(body, static_cast<std::uint32_t>(body.size()), 137));
    EXPECT_EQ(logText(), "Bad \".wav\" file format.  Cannot process multi-channel data.\r\n");
}

}  // namespace
}  // namespace quen::test
