// The stream layer: which format records and headers it refuses and with which
// result, how it finds the codec module, and that its frames are libavcodec's own,
// byte for byte, with each stream carrying its own codec state.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <functional>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/CodecModule.h"
#include "platform/StreamLayer.h"
#include "platform/WaveFormatRecord.h"
#include "tests/G723Reference.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

constexpr WaveFormat PCM = {1, 1, 8000, 16000, 2, 16, 0};
constexpr WaveFormat G723 = {0x42, 1, 8000, 800, 24, 0, 10};
const Bytes G723_EXTRA = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0};

Bytes pcmRecord() {
    return formatRecord(PCM);
}
Bytes g723Record() {
    return formatRecord(G723, G723_EXTRA);
}

class StreamLayerTest : public TempDirTest {
  protected:
    std::int32_t open(std::span<const std::uint8_t> source,
                      std::span<const std::uint8_t> destination) {
        stream = NO_STREAM;
        return layer.openStream(stream, source, destination);
    }

    // A well-formed header for one block of `pcm` into `frame`.
    StreamHeader header() {
        StreamHeader h;
        h.size = STREAM_HEADER_SIZE;
        h.source = pcm.data();
        h.sourceLength = 480;
        h.destination = frame.data();
        h.destinationLength = 24;
        return h;
    }

    StreamLayer layer{codecModuleCandidates()};
    StreamHandle stream = NO_STREAM;
    Bytes pcm = Bytes(480, 0);
    Bytes frame = Bytes(24, 0);
};

TEST_F(StreamLayerTest, OnlyPcmToFullRateG723IsConvertible) {
    const struct {
        const char* what;
        Bytes source;
        Bytes destination;
    } cases[] = {
        {"A-law source", formatRecord({6, 1, 8000, 8000, 1, 8, 0}), g723Record()},
        {"stereo source", formatRecord({1, 2, 8000, 32000, 4, 16, 0}), g723Record()},
        {"16 kHz source", formatRecord({1, 1, 16000, 32000, 2, 16, 0}), g723Record()},
        {"8-bit source", formatRecord({1, 1, 8000, 8000, 1, 8, 0}), g723Record()},
        {"source byte rate", formatRecord({1, 1, 8000, 16001, 2, 16, 0}), g723Record()},
        {"source alignment", formatRecord({1, 1, 8000, 16000, 4, 16, 0}), g723Record()},
        {"source extra bytes", formatRecord({1, 1, 8000, 16000, 2, 16, 2}, Bytes{0, 0}),
         g723Record()},
        {"G.723.1 to PCM", g723Record(), pcmRecord()},
        {"PCM to PCM", pcmRecord(), pcmRecord()},
        {"other tag", pcmRecord(), formatRecord({0x31, 1, 8000, 800, 24, 0, 10}, G723_EXTRA)},
        {"stereo G.723.1", pcmRecord(), formatRecord({0x42, 2, 8000, 800, 24, 0, 10}, G723_EXTRA)},
        {"16 kHz G.723.1", pcmRecord(), formatRecord({0x42, 1, 16000, 800, 24, 0, 10}, G723_EXTRA)},
        {"5.3 kbit/s", pcmRecord(), formatRecord({0x42, 1, 8000, 666, 20, 0, 10}, G723_EXTRA)},
        {"24-byte blocks at 667 bytes/s", pcmRecord(),
         formatRecord({0x42, 1, 8000, 667, 24, 0, 10}, G723_EXTRA)},
        {"bit depth", pcmRecord(), formatRecord({0x42, 1, 8000, 800, 24, 16, 10}, G723_EXTRA)},
        {"configuration word", pcmRecord(),
         formatRecord(G723, Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"no extra bytes", pcmRecord(), formatRecord({0x42, 1, 8000, 800, 24, 0, 0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(open(c.source, c.destination), ACM_NOT_POSSIBLE);
        EXPECT_EQ(stream, NO_STREAM);
    }
}

TEST_F(StreamLayerTest, RecordsThatMisstateTheirLengthAreInvalid) {
    Bytes shortPcm = pcmRecord();
    shortPcm.pop_back();
    Bytes truncatedG723 = g723Record();
    truncatedG723.resize(26);
    Bytes longG723 = g723Record();
    longG723.push_back(0);
    const struct {
        const char* what;
        Bytes source;
        Bytes destination;
    } cases[] = {
        {"17-byte source", shortPcm, g723Record()},
        {"empty source", Bytes{}, g723Record()},
        {"destination cut inside its extra bytes", pcmRecord(), truncatedG723},
        {"destination longer than it states", pcmRecord(), longG723},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(open(c.source, c.destination), ACM_INVALID_PARAMETER);
    }
}

TEST_F(StreamLayerTest, TheTwoRecordsOpenAStream) {
    ASSERT_EQ(open(pcmRecord(), g723Record()), ACM_OK);
    EXPECT_NE(stream, NO_STREAM);
    // The eight codec-specific bytes are not the layer's concern.
    Bytes otherCodecBytes = G723_EXTRA;
    otherCodecBytes[9] = 0xFF;
    const StreamHandle first = stream;
    ASSERT_EQ(open(pcmRecord(), formatRecord(G723, otherCodecBytes)), ACM_OK);
    EXPECT_NE(stream, first);
    EXPECT_EQ(layer.closeStream(first), ACM_OK);
    EXPECT_EQ(layer.closeStream(stream), ACM_OK);
}

TEST_F(StreamLayerTest, MalformedHeadersAreRefused) {
    ASSERT_EQ(open(pcmRecord(), g723Record()), ACM_OK);
    const struct {
        const char* what;
        std::function<void(StreamHeader&)> spoil;
    } cases[] = {
        {"no size", [](StreamHeader& h) { h.size = 0; }},
        {"size 83", [](StreamHeader& h) { h.size = 83; }},
        {"size 85", [](StreamHeader& h) { h.size = 85; }},
        {"half a block", [](StreamHeader& h) { h.sourceLength = 240; }},
        {"479 bytes", [](StreamHeader& h) { h.sourceLength = 479; }},
        {"two blocks", [](StreamHeader& h) { h.sourceLength = 960; }},
        {"23-byte destination", [](StreamHeader& h) { h.destinationLength = 23; }},
        {"no source", [](StreamHeader& h) { h.source = nullptr; }},
        {"no destination", [](StreamHeader& h) { h.destination = nullptr; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StreamHeader h = header();
        c.spoil(h);
        EXPECT_EQ(layer.prepareHeader(stream, h), ACM_INVALID_PARAMETER);
        // The same change made after a successful prepare is caught by the conversion.
        h = header();
        ASSERT_EQ(layer.prepareHeader(stream, h), ACM_OK);
        c.spoil(h);
        EXPECT_EQ(layer.convert(stream, h), ACM_INVALID_PARAMETER);
        EXPECT_EQ(h.status & STREAM_HEADER_DONE, 0u);
    }
    StreamHeader roomy = header();
    Bytes bigger(100, 0);
    roomy.destination = bigger.data();
    roomy.destinationLength = 100;
    ASSERT_EQ(layer.prepareHeader(stream, roomy), ACM_OK);
    EXPECT_EQ(layer.convert(stream, roomy), ACM_OK);
    EXPECT_EQ(roomy.destinationUsed, 24u);
    EXPECT_EQ(layer.closeStream(stream), ACM_OK);
}

TEST_F(StreamLayerTest, HeadersMustBePreparedAndHandlesOpen) {
    ASSERT_EQ(open(pcmRecord(), g723Record()), ACM_OK);
    StreamHeader h = header();
    EXPECT_EQ(layer.convert(stream, h), ACM_UNPREPARED);
    EXPECT_EQ(layer.prepareHeader(stream + 1, h), ACM_INVALID_HANDLE);
    ASSERT_EQ(layer.prepareHeader(stream, h), ACM_OK);
    EXPECT_EQ(h.status, STREAM_HEADER_PREPARED);
    EXPECT_EQ(layer.convert(NO_STREAM, h), ACM_INVALID_HANDLE);
    ASSERT_EQ(layer.convert(stream, h), ACM_OK);
    EXPECT_EQ(h.status, STREAM_HEADER_PREPARED | STREAM_HEADER_DONE);
    EXPECT_EQ(h.sourceUsed, 480u);
    EXPECT_EQ(h.destinationUsed, 24u);
    EXPECT_EQ(layer.closeStream(stream), ACM_OK);
    EXPECT_EQ(layer.closeStream(stream), ACM_INVALID_HANDLE);
    EXPECT_EQ(layer.prepareHeader(stream, h), ACM_INVALID_HANDLE);
}

// The path of the shared object that holds `symbol`.
std::string libraryOf(const void* symbol) {
    Dl_info info{};
    return ::dladdr(symbol, &info) != 0 && info.dli_fname != nullptr ? info.dli_fname : "";
}

TEST_F(StreamLayerTest, WithoutAUsableModuleNothingIsConvertible) {
    writeText(path("quen_g723.so"), "not a shared object\n");
    const std::string libavcodec = libraryOf(reinterpret_cast<const void*>(&avcodec_version));
    ASSERT_FALSE(libavcodec.empty());
    const struct {
        const char* what;
        std::vector<std::filesystem::path> candidates;
    } cases[] = {
        {"none", {}},
        {"missing", {path("absent/quen_g723.so")}},
        {"not a shared object", {path("quen_g723.so")}},
        {"a library without the entry", {libavcodec}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StreamLayer bare(c.candidates);
        StreamHandle handle = NO_STREAM;
        EXPECT_EQ(bare.openStream(handle, pcmRecord(), g723Record()), ACM_NOT_POSSIBLE);
        EXPECT_EQ(handle, NO_STREAM);
    }
}

TEST_F(StreamLayerTest, ModuleIsFoundBesideTheProgramAfterUnusableCandidates) {
    const std::vector<std::filesystem::path> standard = codecModuleCandidates();
    const std::filesystem::path programDirectory =
        std::filesystem::read_symlink("/proc/self/exe").parent_path();
    ASSERT_EQ(standard.size(), 3u);
    EXPECT_EQ(standard[0], programDirectory / "quen_g723.so");
    // The installed directory, first as seen from the program's, then as configured.
    EXPECT_TRUE(standard[1].string().starts_with(programDirectory.string() + "/"));
    EXPECT_TRUE(standard[2].is_absolute());
    for (const std::filesystem::path& installed : {standard[1], standard[2]}) {
        EXPECT_EQ(installed.parent_path().filename(), "quengreeting");
        EXPECT_EQ(installed.filename(), "quen_g723.so");
    }
    writeText(path("broken.so"), "");
    StreamLayer fallback({path("absent.so"), path("broken.so"), standard.front()});
    StreamHandle handle = NO_STREAM;
    ASSERT_EQ(fallback.openStream(handle, pcmRecord(), g723Record()), ACM_OK);
    EXPECT_EQ(fallback.closeStream(handle), ACM_OK);
}

// Feeds `samples` block by block through an open stream of `layer`.
Bytes convertAll(StreamLayer& layer, StreamHandle stream, const std::vector<std::int16_t>& samples,
                 std::size_t firstBlock, std::size_t blocks) {
    const Bytes bytes = sampleBytes(samples);
    Bytes frames(24 * blocks);
    for (std::size_t k = 0; k < blocks; ++k) {
        StreamHeader h;
        h.size = STREAM_HEADER_SIZE;
        h.source = bytes.data() + 480 * (firstBlock + k);
        h.sourceLength = 480;
        h.destination = frames.data() + 24 * k;
        h.destinationLength = 24;
        EXPECT_EQ(layer.prepareHeader(stream, h), ACM_OK);
        EXPECT_EQ(layer.convert(stream, h), ACM_OK);
    }
    return frames;
}

TEST_F(StreamLayerTest, FramesAreLibavcodecsOwnForTheSameBlocks) {
    const std::vector<std::int16_t> speech = speechLikeSignal(240 * 50);
    ASSERT_EQ(open(pcmRecord(), g723Record()), ACM_OK);
    const Bytes frames = convertAll(layer, stream, speech, 0, 50);
    EXPECT_EQ(layer.closeStream(stream), ACM_OK);
    EXPECT_EQ(frames, referenceFrames(speech));
}

TEST_F(StreamLayerTest, EachStreamCarriesItsOwnCodecState) {
    const std::vector<std::int16_t> speech = speechLikeSignal(240 * 20);
    std::vector<std::int16_t> quiet = speech;
    for (std::int16_t& sample : quiet) {
        sample = static_cast<std::int16_t>(sample / 8);
    }
    StreamHandle loud = NO_STREAM;
    StreamHandle soft = NO_STREAM;
    ASSERT_EQ(layer.openStream(loud, pcmRecord(), g723Record()), ACM_OK);
    ASSERT_EQ(layer.openStream(soft, pcmRecord(), g723Record()), ACM_OK);
    Bytes loudFrames;
    Bytes softFrames;
    for (std::size_t k = 0; k < 20; ++k) {
        const Bytes a = convertAll(layer, loud, speech, k, 1);
        const Bytes b = convertAll(layer, soft, quiet, k, 1);
        loudFrames.insert(loudFrames.end(), a.begin(), a.end());
        softFrames.insert(softFrames.end(), b.begin(), b.end());
    }
    EXPECT_EQ(loudFrames, referenceFrames(speech));
    EXPECT_EQ(softFrames, referenceFrames(quiet));
    EXPECT_EQ(layer.closeStream(loud), ACM_OK);
    EXPECT_EQ(layer.closeStream(soft), ACM_OK);
}

}  // namespace
}  // namespace quen::test
