// G723AcmEncoder against a scripted compression manager: the records it opens with,
// the header of every block, the frame-kind tallies and their messages, the stop at a
// refused block, and the stream closed on every path after a successful open.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/ErrorLog.h"
#include "audio/G723AcmEncoder.h"
#include "platform/TextConversion.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

constexpr StreamHandle SCRIPTED_HANDLE = 7;

// Answers as scripted and records what the encoder asked for. Each converted block k
// gets a 24-byte frame: first byte (k << 2) | kind bits, the other bytes k.
class ScriptedCodec : public CompressionManager {
  public:
    std::int32_t openResult = ACM_OK;
    std::map<std::uint32_t, std::int32_t> prepareResults;  // by block index
    std::map<std::uint32_t, std::int32_t> convertResults;
    std::map<std::uint32_t, std::uint8_t> kindBits;  // low bits of the first byte, default 00

    Bytes openedSource;
    Bytes openedDestination;
    std::vector<StreamHeader> preparedHeaders;  // as the encoder handed them in
    std::vector<StreamHandle> handlesUsed;
    int opens = 0;
    int closes = 0;
    bool open = false;

    std::int32_t openStream(StreamHandle& stream, std::span<const std::uint8_t> source,
                            std::span<const std::uint8_t> destination) override {
        ++opens;
        openedSource.assign(source.begin(), source.end());
        openedDestination.assign(destination.begin(), destination.end());
        if (openResult != ACM_OK) {
            return openResult;
        }
        stream = SCRIPTED_HANDLE;
        open = true;
        return ACM_OK;
    }

    std::int32_t prepareHeader(StreamHandle stream, StreamHeader& header) override {
        handlesUsed.push_back(stream);
        preparedHeaders.push_back(header);
        return resultFor(prepareResults, block());
    }

    std::int32_t convert(StreamHandle stream, StreamHeader& header) override {
        handlesUsed.push_back(stream);
        const std::int32_t result = resultFor(convertResults, block());
        if (result == ACM_OK) {
            const auto k = static_cast<std::uint8_t>(block());
            std::fill_n(header.destination, 24, k);
            header.destination[0] = static_cast<std::uint8_t>(k << 2 | kindBits[block()]);
        }
        return result;
    }

    std::int32_t closeStream(StreamHandle stream) override {
        handlesUsed.push_back(stream);
        ++closes;
        open = false;
        return ACM_OK;
    }

  private:
    std::uint32_t block() const { return static_cast<std::uint32_t>(preparedHeaders.size() - 1); }
    static std::int32_t resultFor(const std::map<std::uint32_t, std::int32_t>& results,
                                  std::uint32_t k) {
        const auto found = results.find(k);
        return found == results.end() ? ACM_OK : found->second;
    }
};

class G723AcmEncoderTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
    }
    void TearDown() override {
        ErrorLog::instance().close();
        TempDirTest::TearDown();
    }

    // Runs encodeAll over `blocks` blocks of PCM into a buffer of 24 bytes per block.
    std::int32_t encode(std::uint32_t blocks) {
        pcm.assign(blocks * G723AcmEncoder::BLOCK_BYTES + 7, 0);
        out.assign(blocks * G723AcmEncoder::FRAME_BYTES, 0xEE);
        G723AcmEncoder encoder(codec);
        const std::int32_t result = encoder.encodeAll(
            pcm.data(), static_cast<std::uint32_t>(pcm.size()), out.data(), blocks);
        failed = encoder.failed();
        EXPECT_FALSE(codec.open) << "the stream was left open";
        return result;
    }

    std::string log() {
        ErrorLog::instance().close();
        return readText(path("log.txt"));
    }

    ScriptedCodec codec;
    Bytes pcm;
    Bytes out;
    bool failed = false;
};

TEST_F(G723AcmEncoderTest, OpensPcmToG723WithTheTwoRecords) {
    encode(1);
    EXPECT_EQ(codec.openedSource, (Bytes{0x01, 0x00,                   // PCM
                                         0x01, 0x00,                   // mono
                                         0x40, 0x1F, 0x00, 0x00,       // 8000 samples/s
                                         0x80, 0x3E, 0x00, 0x00,       // 16000 bytes/s
                                         0x02, 0x00,                   // 2-byte blocks
                                         0x10, 0x00,                   // 16 bits
                                         0x00, 0x00}));                // no extra bytes
    EXPECT_EQ(codec.openedDestination, (Bytes{0x42, 0x00,              // G.723.1
                                              0x01, 0x00,              // mono
                                              0x40, 0x1F, 0x00, 0x00,  // 8000 samples/s
                                              0x20, 0x03, 0x00, 0x00,  // 800 bytes/s
                                              0x18, 0x00,              // 24-byte blocks
                                              0x00, 0x00,              // no bit depth
                                              0x0A, 0x00,              // 10 extra bytes:
                                              0x02, 0x00,              // configuration word
                                              0,    0,    0,    0,    0, 0, 0, 0}));
}

TEST_F(G723AcmEncoderTest, FullRateFramesFollowOneAnotherBlockByBlock) {
    for (const std::uint8_t bits : {0x0, 0x3}) {
        SCOPED_TRACE(static_cast<int>(bits));
        codec = ScriptedCodec();
        for (std::uint32_t k = 0; k < 5; ++k) {
            codec.kindBits[k] = bits;
        }
        EXPECT_EQ(encode(5), 120);
        EXPECT_FALSE(failed);
        EXPECT_EQ(codec.opens, 1);
        EXPECT_EQ(codec.closes, 1);
        ASSERT_EQ(codec.preparedHeaders.size(), 5u);
        for (std::uint32_t k = 0; k < 5; ++k) {
            const StreamHeader& header = codec.preparedHeaders[k];
            EXPECT_EQ(header.size, 84u);
            EXPECT_EQ(header.status, 0u);
            EXPECT_EQ(header.source, pcm.data() + 480 * k);
            EXPECT_EQ(header.sourceLength, 480u);
            EXPECT_EQ(header.sourceUsed, 0u);
            EXPECT_EQ(header.destination, out.data() + 24 * k);
            EXPECT_EQ(header.destinationLength, 24u);
            EXPECT_EQ(header.destinationUsed, 0u);
            EXPECT_EQ(out[24 * k], k << 2 | bits);
            EXPECT_EQ(out[24 * k + 23], k);
        }
        EXPECT_EQ(codec.handlesUsed, std::vector<StreamHandle>(11, SCRIPTED_HANDLE));
    }
    EXPECT_EQ(log(), "");
}

TEST_F(G723AcmEncoderTest, OpenErrorIsLoggedInSignedDecimalAndNothingIsConverted) {
    const struct {
        std::int32_t code;
        const char* line;
    } cases[] = {
        {512, "Could not open Codec for Windows ACM stream.  Error code = 512.\r\n"},
        {-5, "Could not open Codec for Windows ACM stream.  Error code = -5.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
        codec = ScriptedCodec();
        codec.openResult = c.code;
        EXPECT_EQ(encode(3), 0);
        EXPECT_TRUE(failed);
        EXPECT_TRUE(codec.preparedHeaders.empty());
        EXPECT_EQ(codec.closes, 0);
        EXPECT_EQ(log(), c.line);
    }
}

TEST_F(G723AcmEncoderTest, RefusedBlockStopsTheConversionAfterTheFramesBeforeIt) {
    const struct {
        bool prepare;
        std::uint32_t block;
        std::int32_t expected;
        const char* line;
    } cases[] = {
        {true, 3, 72, "Could not prepare header for Windows ACM Codec.  Error code = 11.\r\n"},
        {false, 3, 72,
         "Windows ACM Codec reported error in Stream Conversion.  Error code = 11.\r\n"},
        {false, 0, 0,
         "Windows ACM Codec reported error in Stream Conversion.  Error code = 11.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        SCOPED_TRACE(c.block);
        ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
        codec = ScriptedCodec();
        (c.prepare ? codec.prepareResults : codec.convertResults)[c.block] = ACM_INVALID_PARAMETER;
        EXPECT_EQ(encode(10), c.expected);
        EXPECT_TRUE(failed);
        EXPECT_EQ(codec.preparedHeaders.size(), c.block + 1);
        EXPECT_EQ(codec.closes, 1);
        EXPECT_EQ(log(), c.line);
    }
}

TEST_F(G723AcmEncoderTest, SilenceFramesAreCountedOverTheWholeInputAndFail) {
    for (const std::uint32_t k : {10u, 11u, 99u}) {
        codec.kindBits[k] = 0x2;
    }
    EXPECT_EQ(encode(100), 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(codec.preparedHeaders.size(), 100u);
    // A silence frame takes 4 bytes: the next frame is written 4 bytes on.
    EXPECT_EQ(codec.preparedHeaders[11].destination, out.data() + 24 * 10 + 4);
    EXPECT_EQ(codec.preparedHeaders[12].destination, out.data() + 24 * 10 + 8);
    EXPECT_EQ(codec.closes, 1);
    EXPECT_EQ(log(), "Codec generated 3 Silence Suppression packets.\r\n");
}

TEST_F(G723AcmEncoderTest, LowRateFramesAreCountedAndFail) {
    for (const std::uint32_t k : {0u, 1u, 2u, 50u, 99u}) {
        codec.kindBits[k] = 0x1;
    }
    EXPECT_EQ(encode(100), 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(codec.preparedHeaders[1].destination, out.data() + 20);
    EXPECT_EQ(codec.closes, 1);
    EXPECT_EQ(log(), "Codec generated 5 packets at 5.3 Kbps.\r\n");
}

TEST_F(G723AcmEncoderTest, SilenceIsReportedAloneWhenBothKindsOccur) {
    codec.kindBits[1] = 0x1;
    codec.kindBits[2] = 0x2;
    EXPECT_EQ(encode(4), 0);
    EXPECT_EQ(log(), "Codec generated 1 Silence Suppression packets.\r\n");
}

TEST_F(G723AcmEncoderTest, RefusedBlockAfterSilenceGivesBothMessagesAndNothing) {
    codec.kindBits[0] = 0x2;
    codec.convertResults[2] = ACM_ERROR;
    EXPECT_EQ(encode(4), 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(log(),
              "Windows ACM Codec reported error in Stream Conversion.  Error code = 1.\r\n"
              "Codec generated 1 Silence Suppression packets.\r\n");
}

TEST_F(G723AcmEncoderTest, NoWholeBlockStillOpensAndClosesTheStream) {
    EXPECT_EQ(encode(0), 0);
    EXPECT_FALSE(failed);
    EXPECT_EQ(codec.opens, 1);
    EXPECT_EQ(codec.closes, 1);
    EXPECT_TRUE(codec.preparedHeaders.empty());
    EXPECT_EQ(log(), "");
}

TEST_F(G723AcmEncoderTest, FailureOfOneConversionDoesNotStickToTheNext) {
    G723AcmEncoder encoder(codec);
    Bytes frame(24);
    codec.openResult = ACM_NOT_POSSIBLE;
    EXPECT_EQ(encoder.encodeAll(pcm.data(), 0, frame.data(), 0), 0);
    EXPECT_TRUE(encoder.failed());
    codec.openResult = ACM_OK;
    Bytes block(480);
    EXPECT_EQ(encoder.encodeAll(block.data(), 480, frame.data(), 1), 24);
    EXPECT_FALSE(encoder.failed());
}

TEST_F(G723AcmEncoderTest, EncodeFrameWithoutAStreamRefusesSilently) {
    G723AcmEncoder encoder(codec);
    Bytes block(480);
    Bytes frame(24);
    std::uint32_t frameBytes = 24;
    EXPECT_FALSE(encoder.encodeFrame(block.data(), 240, frame.data(), frameBytes));
    EXPECT_TRUE(codec.preparedHeaders.empty());
    EXPECT_EQ(log(), "");
}

TEST_F(G723AcmEncoderTest, FrameByFrameUseReportsTheKindAndClosesAtTheEnd) {
    codec.kindBits[1] = 0x2;
    {
        G723AcmEncoder encoder(codec);
        ASSERT_TRUE(encoder.open());
        Bytes block(480);
        Bytes frame(24);
        std::uint32_t frameBytes = 24;
        EXPECT_TRUE(encoder.encodeFrame(block.data(), 240, frame.data(), frameBytes));
        EXPECT_EQ(frameBytes, 24u);
        frameBytes = 24;
        EXPECT_TRUE(encoder.encodeFrame(block.data(), 240, frame.data(), frameBytes));
        EXPECT_EQ(frameBytes, 4u);
        EXPECT_TRUE(codec.open);
    }
    EXPECT_FALSE(codec.open);
    EXPECT_EQ(codec.closes, 1);
}

}  // namespace
}  // namespace quen::test
