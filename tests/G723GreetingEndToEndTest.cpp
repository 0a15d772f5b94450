// G.723.1 greetings end to end: the data file holds libavcodec's own frames for the
// whole 480-byte blocks in 3072-byte packets, they decode back to the speech, and a
// program without a usable codec module fails the job with the manager's 512.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/CodecModule.h"
#include "tests/DataFileExpectation.h"
#include "tests/G723Reference.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace fs = std::filesystem;
namespace {

constexpr const char* CREATING = "Creating data file - \"out.cxx\"\r\n";

// The frames of a G.723.1 data file, read packet by packet as a player would.
Bytes framesOf(const Bytes& file) {
    Bytes frames;
    std::size_t at = 214;
    while (at < file.size()) {
        const std::size_t payload = (file[at] + 1u) * 24;
        EXPECT_LE(at + 1 + payload, file.size()) << "packet at " << at << " runs past the end";
        const auto first = file.begin() + static_cast<std::ptrdiff_t>(at + 1);
        frames.insert(frames.end(), first,
                      first + static_cast<std::ptrdiff_t>(std::min(payload, file.size() - at - 1)));
        at += 1 + payload;
    }
    return frames;
}

using G723GreetingTest = TempDirTest;

TEST_F(G723GreetingTest, DataFileHoldsLibavcodecsFramesInFullPackets) {
    // 10 s and 80 samples: 333 whole blocks, the last 160 bytes dropped.
    const std::vector<std::int16_t> speech = speechLikeSignal(333 * 240 + 80);
    writeBytes(path("x.wav"), pcmWav(speech));
    const ProgramResult result =
        run({"/convert:x.wav", "box", "rec", "g723", "out.cxx", "log.txt"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(readText(path("log.txt")), CREATING);
    const Bytes written = readBytes(path("out.cxx"));
    ASSERT_EQ(written.size(), 214u + 2 * 3073 + (77 * 24 + 1));
    EXPECT_EQ(bigEndian32At(written, 0), static_cast<std::int32_t>(written.size()));
    EXPECT_EQ(written[4], 0x8B);
    EXPECT_EQ(written[214], 127);
    EXPECT_EQ(written[214 + 3073], 127);
    EXPECT_EQ(written[214 + 2 * 3073], 76);
    const Bytes reference = referenceFrames(speech);
    ASSERT_EQ(reference.size(), 333u * 24);
    EXPECT_EQ(framesOf(written), reference);
    ExpectedHeader header{u"box", u"rec"};
    header.recordTime = bigEndian32At(written, 206);
    EXPECT_EQ(written, expectedDataFile(0x8B, header, reference, 24));
}

TEST_F(G723GreetingTest, DecodedDataFileReproducesTheSpeech) {
    const std::vector<std::int16_t> speech = speechLikeSignal(8000 * 5);
    writeBytes(path("x.wav"), pcmWav(speech));
    ASSERT_EQ(run({"/convert:x.wav", "box", "rec", "G723", "out.cxx", "log.txt"}).exitCode, 0);
    const Reproduction match =
        compareDecoded(speech, decodeFrames(framesOf(readBytes(path("out.cxx")))), 2400);
    // G.723.1 is an analysis-by-synthesis coder: the waveform comes back only roughly.
    // On this vowel libavcodec reaches a correlation of 0.98 and 14 dB SNR, while frames
    // swapped in pairs, shifted by one, encoded without carried state or from
    // byte-swapped samples all stay below 0.4 and 0 dB; 0.9 and 8 dB leave room for
    // codec versions and still catch any of those. The decoder lags by the encoder's
    // 7.5 ms look-ahead, 60 samples; the first 300 ms let it settle.
    EXPECT_EQ(match.delay, 60u);
    EXPECT_GT(match.correlation, 0.9);
    EXPECT_GT(match.snrDb, 8.0);
}

TEST_F(G723GreetingTest, RecordingShorterThanABlockGivesAnEmptyPacketStream) {
    for (const std::size_t samples : {0, 239}) {
        SCOPED_TRACE(samples);
        writeBytes(path("x.wav"), pcmWav(speechLikeSignal(samples)));
        ASSERT_EQ(run({"/convert:x.wav", "box", "rec", "g723", "out.cxx", "log.txt"}).exitCode, 0);
        EXPECT_EQ(readText(path("log.txt")), CREATING);
        const Bytes written = readBytes(path("out.cxx"));
        ASSERT_EQ(written.size(), 214u);
        EXPECT_EQ(written[4], 0x8B);
    }
}

// A copy of the program in the test directory, beside `module` when given, finds no
// other module unless one is installed.
TEST_F(G723GreetingTest, ProgramWithoutAUsableModuleFailsWith512) {
    if (fs::exists(codecModuleCandidates().back())) {
        GTEST_SKIP() << "a codec module is installed at " << codecModuleCandidates().back();
    }
    const fs::path buildModule = codecModuleCandidates().front();
    fs::copy_file(QUEN_BINARY, path("QuenGreeting"));
    writeBytes(path("x.wav"), pcmWav(speechLikeSignal(2400)));
    const struct {
        const char* what;
        std::function<void()> place;
        int exitCode;
        std::string log;
    } cases[] = {
        {"no module", [] {}, 255,
         std::string(CREATING) +
             "Could not open Codec for Windows ACM stream.  Error code = 512.\r\n"
             "Compression of \"x.wav\" file failed on bad format.\r\n"},
        {"not a shared object", [&] { writeText(path("quen_g723.so"), "ELF? no\n"); }, 255,
         std::string(CREATING) +
             "Could not open Codec for Windows ACM stream.  Error code = 512.\r\n"
             "Compression of \"x.wav\" file failed on bad format.\r\n"},
        {"the module",
         [&] {
             fs::copy_file(buildModule, path("quen_g723.so"), fs::copy_options::overwrite_existing);
         },
         0, CREATING},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.place();
        fs::remove(path("out.cxx"));
        const std::string command = "cd '" + dir().string() +
                                    "' && ./QuenGreeting /convert:x.wav box rec g723 out.cxx "
                                    "log.txt >stdout.txt";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
        EXPECT_EQ(readText(path("log.txt")), c.log);
        EXPECT_EQ(readText(path("stdout.txt")), "");
        EXPECT_EQ(fs::exists(path("out.cxx")), c.exitCode == 0);
    }
}

}  // namespace
}  // namespace quen::test
