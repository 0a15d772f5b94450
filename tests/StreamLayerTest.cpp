// The stream layer's refusals: format pairs it cannot convert, malformed records and
// malformed block headers.
#include <gtest/gtest.h>

#include "platform/CodecModule.h"
#include "platform/StreamLayer.h"
#include "platform/WaveFormatRecord.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

TEST(StreamLayerTest, OnlyPcmToFullRateG723OpensAndOnlyWholeBlocksConvert) {
    const Bytes pcm = formatRecord({1, 1, 8000, 16000, 2, 16, 0});
    const Bytes g723 =
        formatRecord({0x42, 1, 8000, 800, 24, 0, 10}, Bytes{2, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    // Each row changes one byte of one record.
    const struct {
        const char* what;
        bool inDestination;
        std::size_t at;
        std::uint8_t value;
        std::int32_t result;
    } records[] = {
        {"A-law source", false, 0, 6, ACM_NOT_POSSIBLE},
        {"stereo source", false, 2, 2, ACM_NOT_POSSIBLE},
        {"8001 Hz source", false, 4, 0x41, ACM_NOT_POSSIBLE},
        {"8-bit source", false, 14, 8, ACM_NOT_POSSIBLE},
        {"other codec", true, 0, 0x31, ACM_NOT_POSSIBLE},
        {"G.723.1 byte rate", true, 8, 0x21, ACM_NOT_POSSIBLE},
        {"20-byte blocks, as at 5.3 kbit/s", true, 12, 20, ACM_NOT_POSSIBLE},
        {"configuration word", true, 18, 1, ACM_NOT_POSSIBLE},
        {"source states extra bytes it lacks", false, 16, 2, ACM_INVALID_PARAMETER},
    };
    StreamLayer layer(codecModuleCandidates());
    StreamHandle stream = NO_STREAM;
    for (const auto& row : records) {
        SCOPED_TRACE(row.what);
        Bytes source = pcm;
        Bytes destination = g723;
        (row.inDestination ? destination : source).at(row.at) = row.value;
        EXPECT_EQ(layer.openStream(stream, source, destination), row.result);
    }
    EXPECT_EQ(layer.openStream(stream, g723, pcm), ACM_NOT_POSSIBLE);
    EXPECT_EQ(stream, NO_STREAM);

    ASSERT_EQ(layer.openStream(stream, pcm, g723), ACM_OK);
    Bytes block(480);
    Bytes frame(24);
    const StreamHeader whole{STREAM_HEADER_SIZE, 0, block.data(), 480, 0, frame.data(), 24, 0};
    const struct {
        const char* what;
        void (*spoil)(StreamHeader&);
    } headers[] = {
        {"size 83", [](StreamHeader& h) { h.size = 83; }},
        {"479 bytes", [](StreamHeader& h) { h.sourceLength = 479; }},
        {"two blocks", [](StreamHeader& h) { h.sourceLength = 960; }},
        {"23-byte destination", [](StreamHeader& h) { h.destinationLength = 23; }},
        {"no destination", [](StreamHeader& h) { h.destination = nullptr; }},
    };
    for (const auto& row : headers) {
        SCOPED_TRACE(row.what);
        StreamHeader header = whole;
        ASSERT_EQ(layer.prepareHeader(stream, header), ACM_OK);
        row.spoil(header);
        EXPECT_EQ(layer.prepareHeader(stream, header), ACM_INVALID_PARAMETER);
        // A header spoiled after its prepare is caught by the conversion too.
        EXPECT_EQ(layer.convert(stream, header), ACM_INVALID_PARAMETER);
    }
    // A closed stream's handle is gone for every call.
    EXPECT_EQ(layer.closeStream(stream), ACM_OK);
    StreamHeader header = whole;
    EXPECT_EQ(layer.prepareHeader(stream, header), ACM_INVALID_HANDLE);
    EXPECT_EQ(layer.convert(stream, header), ACM_INVALID_HANDLE);
    EXPECT_EQ(layer.closeStream(stream), ACM_INVALID_HANDLE);
}

}  // namespace
}  // namespace quen::test
