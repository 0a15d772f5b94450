// The chunk walk that describes a recording: pad bytes after odd lengths, a chunk
// running past the end, a header cut short by the end of the file, unprintable ids,
// RF64's sizes from its ds64 chunk, and the cap on the chunks listed; read from a file
// by its headers, the same as from its bytes. And the WAV image the tools write.
#include <gtest/gtest.h>

#include "tests/TestFiles.h"
#include "tests/TestSupport.h"
#include "wav/RiffLayout.h"
#include "wav/WavWriter.h"

namespace quen::test {
namespace {

// "id@offset:length" for each chunk, "!" marking one that runs past the end.
std::string listed(const RiffLayout& layout) {
    std::string text;
    for (const RiffChunk& c : layout.chunks) {
        text += c.id + "@" + std::to_string(c.offset) + ":" + std::to_string(c.length) +
                (c.pastEnd ? "! " : " ");
    }
    return text;
}

TEST(RiffLayoutTest, ChunksAreWalkedAsAStandardReaderWalksThem) {
    const Bytes fmt = formatChunk();
    const Bytes data = chunk("data", Bytes(6));
    // Sizes 1000 and 6 as 64-bit little-endian values, then a sample count and a table.
    const Bytes ds64 = chunk("ds64", join({{0xE8, 0x03}, Bytes(6), {6}, Bytes(19)}));
    Bytes rf64 = wavFile(join({ds64, fmt, chunk("data", Bytes(6), 0xFFFFFFFF)}), 0xFFFFFFFF);
    std::copy_n("RF64", 4, rf64.begin());
    const struct {
        const char* what;
        Bytes file;
        std::string chunks;
        std::uint64_t statedSize;
        std::uint64_t dataLength;
    } rows[] = {
        {"an odd length and its pad byte", wavFile(join({chunk("LIST", Bytes(3)), {0}, fmt, data})),
         "LIST@12:3 fmt @24:16 data@48:6 ", 54, 6},
        {"four bytes after the last chunk",
         join({wavFile(join({fmt, data})), {'J', 'U', 'N', 'K'}}), "fmt @12:16 data@36:6 ", 42, 6},
        {"a data chunk claiming more than is there",
         wavFile(join({fmt, chunk("data", Bytes(6), 100), chunk("LIST", {})})),
         "fmt @12:16 data@36:100! ", 50, 14},
        {"unprintable ids", wavFile(join({chunk("\x01x\x7fy", {}), fmt, data})),
         "?x?y@12:0 fmt @20:16 data@44:6 ", 50, 6},
        {"RF64 sized by its ds64 chunk", rf64, "ds64@12:28 fmt @48:16 data@72:6 ", 1000, 6},
    };
    const std::string onDisk = ::testing::TempDir() + "/layout.wav";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        writeBytes(onDisk, row.file);
        auto file = InputFile::openRegular(onDisk);
        ASSERT_TRUE(file);
        for (const auto& layout : {readRiffLayout(row.file), readRiffLayout(*file)}) {
            ASSERT_TRUE(layout);
            EXPECT_EQ(listed(*layout), row.chunks);
            EXPECT_EQ(layout->statedSize, row.statedSize);
            EXPECT_EQ(layout->dataLength, row.dataLength);
            EXPECT_EQ(layout->format->sampleRate, 8000u);
            EXPECT_EQ(layout->fileSize, row.file.size());
        }
    }
    // Anything but the WAVE form of RIFF or RF64, or a header cut short, has no layout.
    Bytes avi = wavFile(join({fmt, data}));
    std::copy_n("AVI ", 4, avi.begin() + 8);
    Bytes rifx = wavFile(join({fmt, data}));
    std::copy_n("RIFX", 4, rifx.begin());
    for (const Bytes& other : {avi, rifx, Bytes(rf64.begin(), rf64.begin() + 11)}) {
        EXPECT_FALSE(readRiffLayout(other));
    }
    Bytes many = wavFile({});
    for (std::size_t i = 0; i <= MAX_LISTED_CHUNKS; ++i) {
        many = join({many, chunk("JUNK", {})});
    }
    const auto capped = readRiffLayout(many);
    EXPECT_EQ(capped->chunks.size(), MAX_LISTED_CHUNKS);
    EXPECT_TRUE(capped->moreChunks);
}

// What the tools write is what a reader of the canonical layout expects, every sample in
// its place from the first; a length the RIFF header cannot state gives nothing.
TEST(WavImageTest, TheCanonicalHeaderThenEachSampleLittleEndian) {
    const std::vector<std::int16_t> samples = {-32768, 0x1234, -1, 32767};
    const std::vector<std::uint8_t> image = wavImage(samples);
    EXPECT_EQ(image, pcmWav(samples));
    EXPECT_EQ(Bytes(image.begin() + 44, image.end()),
              (Bytes{0x00, 0x80, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(wavHeader(samples.size()), Bytes(image.begin(), image.begin() + 44));
    EXPECT_EQ(wavHeader((0xFFFFFFFFu - 36) / 2).size(), 44u);
    EXPECT_TRUE(wavHeader((0xFFFFFFFFu - 36) / 2 + 1).empty());
}

}  // namespace
}  // namespace quen::test
