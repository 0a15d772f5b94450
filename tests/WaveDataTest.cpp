// Locating the samples of a WAV body: every rejection with its exact log line, the
// chunk walk's bounds, and the reads that must not leave the buffer.
#include <gtest/gtest.h>

#include <optional>

#include "audio/WaveData.h"
#include "tests/LogCaptureTest.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

constexpr const char* NO_FMT = "Bad \".wav\" file format.  Did not find \"fmt\" (format) section.";
constexpr const char* FMT_LENGTH =
    "Bad \".wav\" file format.  Length of \"format\" sub-chunk is incorrect.";
constexpr const char* MULTI_CHANNEL =
    "Bad \".wav\" file format.  Cannot process multi-channel data.";
constexpr const char* NOT_PCM = "Bad \".wav\" file format. File not in PCM/Uncompressed format.";
constexpr const char* RATE = "Bad \".wav\" file format.  Sample rate not 8000 samples/sec.";
constexpr const char* SAMPLE_SIZE = "Bad \".wav\" file format.  Sample size not 16 bits.";
constexpr const char* NO_DATA = "Bad \".wav\" file format.  Did not find \"data\" section.";

WavFormat withExtension(std::size_t bytes) {
    WavFormat format;
    format.extension = Bytes(bytes, 0);
    return format;
}

WavChunk withStatedLength(WavChunk chunk, std::uint32_t length) {
    chunk.statedLength = length;
    return chunk;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const WavChunk LIST_CHUNK{"LIST", Bytes{'I', 'N', 'F', 'O', 1, 2, 3, 4}, std::nullopt};
const std::vector<std::int16_t> FOUR_SAMPLES{1, -2, 300, -32768};

struct LocateCase {
    std::string name;
    Bytes body;                // the bytes after "WAVE", to the end of the buffer
    std::uint32_t bodyLength;  // the RIFF size minus 4
    const char* message;       // nullptr when the body is accepted
    std::size_t dataOffset;    // where the samples start in `body`
    std::size_t dataLength;
};

LocateCase rejected(std::string name, Bytes body, const char* message,
                    std::optional<std::uint32_t> bodyLength = {}) {
    const auto length = bodyLength.value_or(static_cast<std::uint32_t>(body.size()));
    return {std::move(name), std::move(body), length, message, 0, 0};
}

LocateCase accepted(std::string name, Bytes body, std::size_t dataOffset, std::size_t dataLength,
                    std::optional<std::uint32_t> bodyLength = {}) {
    const auto length = bodyLength.value_or(static_cast<std::uint32_t>(body.size()));
    return {std::move(name), std::move(body), length, nullptr, dataOffset, dataLength};
}

std::vector<LocateCase> locateCases() {
    WavFormat stereoFloat;
    stereoFloat.channels = 2;
    stereoFloat.formatTag = 3;
    WavFormat extensible = withExtension(24);
    extensible.formatTag = 0xFFFE;
    WavFormat rate16k;
    rate16k.sampleRate = 16000;
    WavFormat eightBit;
    eightBit.blockAlign = 1;
    eightBit.bitsPerSample = 8;
    WavFormat alignedEightBit;
    alignedEightBit.bitsPerSample = 8;
    WavFormat wideAlign;
    wideAlign.blockAlign = 4;
    WavFormat wrongByteRate;
    wrongByteRate.byteRate = 12345;
    WavChunk shortFormat = formatChunk();
    shortFormat.contents.resize(15);
    const Bytes plainFormat = riffBody({formatChunk()});
    const WavChunk samples = dataChunk(FOUR_SAMPLES);

    return {
        // Rejections, in the order of the checks.
        rejected("empty body", {}, NO_FMT),
        rejected("body of three bytes", {'f', 'm', 't'}, NO_FMT),
        rejected("LIST before fmt", riffBody({LIST_CHUNK, formatChunk(), samples}), NO_FMT),
        rejected("fmt in capitals", riffBody({{"FMT ", formatChunk().contents, {}}}), NO_FMT),
        rejected("only the fmt id", {'f', 'm', 't', ' '}, FMT_LENGTH),
        rejected("fmt fields cut short by the buffer",
                 Bytes(plainFormat.begin(), plainFormat.end() - 1), FMT_LENGTH),
        rejected("fmt fields cut short by the RIFF size", riffBody({formatChunk(), samples}),
                 FMT_LENGTH, 23),
        rejected("fmt length 15", riffBody({shortFormat, samples}), FMT_LENGTH),
        rejected("fmt length 53", riffBody({formatChunk(withExtension(37)), samples}), FMT_LENGTH),
        rejected("two channels of float", riffBody({formatChunk(stereoFloat), samples}),
                 MULTI_CHANNEL),
        rejected("extensible tag in 40 bytes", riffBody({formatChunk(extensible), samples}),
                 NOT_PCM),
        rejected("16000 samples/s", riffBody({formatChunk(rate16k), samples}), RATE),
        rejected("8-bit", riffBody({formatChunk(eightBit), samples}), SAMPLE_SIZE),
        rejected("8 bits in 2-byte blocks", riffBody({formatChunk(alignedEightBit), samples}),
                 SAMPLE_SIZE),
        rejected("16 bits in 4-byte blocks", riffBody({formatChunk(wideAlign), samples}),
                 SAMPLE_SIZE),
        rejected("fmt alone", riffBody({formatChunk()}), NO_DATA),
        rejected("fmt and LIST, no data", riffBody({formatChunk(), LIST_CHUNK}), NO_DATA),
        rejected("data header is the last 8 bytes after a skipped chunk",
                 riffBody({formatChunk(), LIST_CHUNK, dataChunk(Bytes{})}), NO_DATA),
        rejected("chunk length that would wrap a 32-bit position",
                 riffBody({formatChunk(), withStatedLength(LIST_CHUNK, 0xFFFFFFF0), samples}),
                 NO_DATA),
        rejected("data chunk beyond the RIFF size", riffBody({formatChunk(), LIST_CHUNK, samples}),
                 NO_DATA, 24 + 16),
        rejected("fmt length reaching past the body",
                 riffBody({withStatedLength(formatChunk(), 52), samples}), NO_DATA),

        // Accepted bodies: where the samples start and how many bytes they are.
        accepted("plain", riffBody({formatChunk(), samples}), 32, 8),
        accepted("18-byte fmt", riffBody({formatChunk(withExtension(2)), samples}), 34, 8),
        accepted("52-byte fmt", riffBody({formatChunk(withExtension(36)), samples}), 68, 8),
        accepted("wrong byte rate", riffBody({formatChunk(wrongByteRate), samples}), 32, 8),
        accepted("LIST skipped", riffBody({formatChunk(), LIST_CHUNK, samples}), 48, 8),
        accepted("odd-length chunk without pad byte",
                 riffBody({formatChunk(), {"note", Bytes{1, 2, 3}, {}}, samples}), 43, 8),
        accepted("empty data chunk as the last 8 bytes",
                 riffBody({formatChunk(), dataChunk(Bytes{})}), 32, 0),
        accepted("data length beyond the buffer is cut to the bytes present",
                 riffBody({formatChunk(), withStatedLength(samples, 1000)}), 32, 8),
        accepted("data length shorter than the chunk's bytes is kept",
                 riffBody({formatChunk(), withStatedLength(samples, 5)}), 32, 5),
        accepted("data reaching past the RIFF size takes the file's bytes",
                 concat(riffBody({formatChunk(), withStatedLength(dataChunk(Bytes{}), 6)}),
                        Bytes{9, 9, 9, 9}),
                 32, 4, 32),
    };
}

class WaveDataTest : public LogCaptureTest {};

TEST_F(WaveDataTest, ChecksAndWalk) {
    for (const LocateCase& c : locateCases()) {
        SCOPED_TRACE(c.name);
        const std::string before = logText();
        const auto wave = locateWaveData(c.body, c.bodyLength);
        const std::string logged = logText().substr(before.size());
        if (c.message == nullptr) {
            ASSERT_TRUE(wave.has_value());
            EXPECT_EQ(wave->samples.data() - c.body.data(),
                      static_cast<std::ptrdiff_t>(c.dataOffset));
            EXPECT_EQ(wave->samples.size(), c.dataLength);
            EXPECT_EQ(logged, "");
        } else {
            EXPECT_FALSE(wave.has_value());
            EXPECT_EQ(logged, std::string(c.message) + "\r\n");
        }
    }
}

TEST(LittleEndianTest, ReadsFourBytesLowFirstAtAnyAlignment) {
    const Bytes bytes{0xAA, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::span<const std::uint8_t> all(bytes);
    EXPECT_EQ(getLittleEndian32(all.subspan<1, 4>()), 0x12345678u);
    EXPECT_EQ(getLittleEndian32(all.subspan<5, 4>()), 0xFFFFFFFFu);
    EXPECT_EQ(getLittleEndian16(all.subspan<4, 2>()), 0xFF12u);
}

}  // namespace
}  // namespace quen::test
