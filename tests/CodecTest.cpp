// The codecs below the jobs: every G.711 code against a plain transcription of the
// quantisation tables; and G723AcmEncoder against a scripted compression
// manager (the record it opens with, the frame-kind table, the tallies and their
// messages, the stop at a refused block, the stream closed on every path after a
// successful open), and the stream layer's refusal of a malformed record and of a
// malformed block header, and its closed handles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "codec/CodecModule.h"
#include "codec/G711Encoder.h"
#include "codec/G723AcmEncoder.h"
#include "codec/StreamLayer.h"
#include "codec/WaveFormatRecord.h"
#include "platform/LogSink.h"
#include "platform/TextConversion.h"
#include "tests/TestSupport.h"

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

// Answers as scripted and records what the encoder asked for.
struct ScriptedCodec : CompressionManager {
    std::int32_t openResult = ACM_OK;
    // One character a block: '0' to '3', the low bits of its frame's first byte; 'P' or
    // 'C', refused with 11 by prepare or by convert.
    std::string blocks;
    std::vector<std::uint8_t*> destinations;  // of every header prepared, in order
    int closes = 0;

    std::int32_t openStream(StreamHandle& stream, std::span<const std::uint8_t>,
                            std::span<const std::uint8_t>) override {
        stream = 7;  // even when refused: the encoder must not use it then
        return openResult;
    }
    std::int32_t prepareHeader(StreamHandle, StreamHeader& header) override {
        destinations.push_back(header.destination);
        return blocks.at(destinations.size() - 1) == 'P' ? ACM_INVALID_PARAMETER : ACM_OK;
    }
    std::int32_t convert(StreamHandle, StreamHeader& header) override {
        const char block = blocks.at(destinations.size() - 1);
        // High bits set, so that only the two low bits can tell the kind.
        header.destination[0] = static_cast<std::uint8_t>(0xFC | (block - '0'));
        return block == 'C' ? ACM_INVALID_PARAMETER : ACM_OK;
    }
    std::int32_t closeStream(StreamHandle) override {
        ++closes;
        return ACM_OK;
    }
};

TEST(G723AcmEncoderTest, EveryPathLogsItsMessagesAndClosesAnOpenedStream) {
    const std::string convertRefused =
        "Windows ACM Codec reported error in Stream Conversion.  Error code = 11.\r\n";
    const std::string threeSilent = "Codec generated 3 Silence Suppression packets.\r\n";
    const std::string zeros(47, '0');
    const struct {
        const char* what;
        std::int32_t openResult;
        std::string blocks;
        std::int32_t bytes;
        std::ptrdiff_t lastFrameAt;  // where the last header prepared points in the output
        std::string log;             // a failure exactly when not empty
    } rows[] = {
        {"open refused", 512, "000", 0, -1,
         "Could not open Codec for Windows ACM stream.  Error code = 512.\r\n"},
        {"full rate, low bits 11 too", ACM_OK, "03003", 120, 96, ""},
        {"prepare refused at block 3", ACM_OK, "000P000000", 72, 72,
         "Could not prepare header for Windows ACM Codec.  Error code = 11.\r\n"},
        {"convert refused at block 3", ACM_OK, "000C000000", 72, 72, convertRefused},
        {"three silence frames", ACM_OK, zeros + "022" + zeros + "002", 0, 2336, threeSilent},
        {"five 5.3 kbit/s frames", ACM_OK, "111" + zeros + "1" + zeros + "01", 0, 2360,
         "Codec generated 5 packets at 5.3 Kbps.\r\n"},
        {"silence before 5.3 kbit/s, and a refused block", ACM_OK, "2122C0", 0, 32,
         convertRefused + threeSilent},
        {"no whole block", ACM_OK, "", 0, -1, ""},
    };
    ScriptedCodec codec;
    // One for all rows: a failure must not stick.
    LogBuffer log;
    G723AcmEncoder encoder(log, codec);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        codec = ScriptedCodec();
        log = LogBuffer();
        codec.openResult = row.openResult;
        codec.blocks = row.blocks;
        const auto count = static_cast<std::uint32_t>(row.blocks.size());
        Bytes pcm(480 * count + 7);
        Bytes out(24 * count);
        EXPECT_EQ(encoder.encodeAll(pcm.data(), out.data(), count), row.bytes);
        EXPECT_EQ(encoder.failed(), !row.log.empty());
        std::string logged;
        for (const std::u16string& line : log.lines()) {
            logged += toNarrow(line) + "\r\n";
        }
        EXPECT_EQ(logged, row.log);
        EXPECT_EQ(codec.closes, row.openResult == ACM_OK ? 1 : 0);
        EXPECT_EQ(codec.destinations.empty() ? -1 : codec.destinations.back() - out.data(),
                  row.lastFrameAt);
    }
    // Closed once: nothing is left for a later close to close again.
    encoder.close();
    EXPECT_EQ(codec.closes, 1);
    // A refused open leaves no handle for the encoder's end to close.
    {
        G723AcmEncoder refused(log, codec);
        codec = ScriptedCodec();
        codec.openResult = 512;
        EXPECT_EQ(refused.encodeAll(nullptr, nullptr, 0), 0);
    }
    EXPECT_EQ(codec.closes, 0);
}

TEST(StreamLayerTest, AMalformedRecordIsRefusedAndAClosedStreamIsGone) {
    const Bytes pcm = formatRecord({1, 1, 8000, 16000, 2, 16});
    const Bytes g723 =
        formatRecord({0x42, 1, 8000, 800, 24, 0}, Bytes{2, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    StreamLayer layer(codecModuleCandidates());
    StreamHandle stream = NO_STREAM;
    Bytes lacking = pcm;
    lacking[16] = 2;  // states extra bytes it does not have
    EXPECT_EQ(layer.openStream(stream, lacking, g723), ACM_INVALID_PARAMETER);
    ASSERT_EQ(layer.openStream(stream, pcm, g723), ACM_OK);
    Bytes block(480);
    Bytes frame(24);
    StreamHeader header{STREAM_HEADER_SIZE, 0, block.data(), 480, 0, frame.data(), 24, 0};
    ASSERT_EQ(layer.prepareHeader(stream, header), ACM_OK);
    header.sourceLength = 479;
    EXPECT_EQ(layer.convert(stream, header), ACM_INVALID_PARAMETER);
    // A closed stream's handle is gone for every call.
    EXPECT_EQ(layer.closeStream(stream), ACM_OK);
    EXPECT_EQ(layer.prepareHeader(stream, header), ACM_INVALID_HANDLE);
    EXPECT_EQ(layer.convert(stream, header), ACM_INVALID_HANDLE);
    EXPECT_EQ(layer.closeStream(stream), ACM_INVALID_HANDLE);
}

}  // namespace
}  // namespace quen::test
