// /convert: end to end: the greeting file byte for byte, the codec chosen by the format
// word, and every refusal with its log lines, exit code 255 and an earlier data file
// left as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <set>

#include "tests/DataFileExpectation.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace fs = std::filesystem;
namespace {

constexpr const char* CREATING = "Creating data file - \"out.cxx\"\r\n";
constexpr const char* COMPRESSION_FAILED =
    "Compression of \"in.wav\" file failed on bad format.\r\n";

std::int32_t now() {
    return static_cast<std::int32_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                         std::chrono::system_clock::now().time_since_epoch())
                                         .count());
}

class GreetingJobTest : public TempDirTest {
  protected:
    ProgramResult convert(const std::string& format, const std::string& wav = "in.wav",
                          const std::string& out = "out.cxx") {
        return run({"/convert:" + wav, "Front Desk", "Welcome", format, out, "log.txt"});
    }

    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    // The A-law greeting file the program must write for `samples`, with the record
    // time it stored.
    static Bytes aLawGreeting(const std::vector<std::int16_t>& samples, const Bytes& written) {
        ExpectedHeader header{u"Front Desk", u"Welcome"};
        header.recordTime = bigEndian32At(written, 206);
        return expectedDataFile(0x89, header, aLawStream(samples), 80);
    }
};

TEST_F(GreetingJobTest, WritesTheALawGreetingFile) {
    // 1.5 s: one full packet of 128 frames and a final one of 22.
    const std::vector<std::int16_t> samples = testSignal(12000);
    writeBytes(path("in.wav"), pcmWav(samples));
    const std::int32_t before = now();
    const ProgramResult result = convert("g711");
    const std::int32_t after = now();
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(readText(path("log.txt")), CREATING);
    const Bytes written = readBytes(path("out.cxx"));
    EXPECT_EQ(written, aLawGreeting(samples, written));
    EXPECT_EQ(written.size(), 214u + 10241 + 1761);
    EXPECT_EQ(written[214 + 10241], 21);
    EXPECT_GE(bigEndian32At(written, 206), before);
    EXPECT_LE(bigEndian32At(written, 206), after);
}

TEST_F(GreetingJobTest, EveryFormatWordButG723IsALaw) {
    const std::vector<std::int16_t> samples = testSignal(900);
    writeBytes(path("in.wav"), pcmWav(samples));
    for (const std::string format : {"g711", "ulaw", "u-law", "G723 ", "", "g7231", "ｇ723"}) {
        SCOPED_TRACE(format);
        ASSERT_EQ(convert(format).exitCode, 0);
        const Bytes written = readBytes(path("out.cxx"));
        EXPECT_EQ(written, aLawGreeting(samples, written));
    }
}

// The codec either delivers every frame, giving a G.723.1 file, or reports a failure,
// which fails the job with no file written.
TEST_F(GreetingJobTest, G723GivesAWholeFileOrAFailedJob) {
    // 166 frames of 480 bytes and 100 bytes that are dropped.
    writeBytes(path("in.wav"), pcmWav(testSignal(166 * 240 + 50)));
    writeText(path("out.cxx"), "earlier");
    for (const std::string format : {"g723", "G723"}) {
        SCOPED_TRACE(format);
        const ProgramResult result = convert(format);
        const std::string log = readText(path("log.txt"));
        if (result.exitCode == 0) {
            EXPECT_EQ(log, CREATING);
            const Bytes written = readBytes(path("out.cxx"));
            ASSERT_EQ(written.size(), 214u + 3073 + 913);
            EXPECT_EQ(bigEndian32At(written, 0), 4200);
            EXPECT_EQ(written[4], 0x8B);
            EXPECT_EQ(written[214], 127);
            EXPECT_EQ(written[214 + 3073], 37);
            ExpectedHeader header{u"Front Desk", u"Welcome"};
            header.recordTime = bigEndian32At(written, 206);
            EXPECT_EQ(Bytes(written.begin() + 6, written.begin() + 214), header.bytes());
        } else {
            EXPECT_EQ(result.exitCode, 255);
            ASSERT_TRUE(log.starts_with(CREATING));
            ASSERT_TRUE(log.ends_with(COMPRESSION_FAILED));
            // The codec's own line stands between the two.
            const std::string middle = log.substr(
                std::string(CREATING).size(),
                log.size() - std::string(CREATING).size() - std::string(COMPRESSION_FAILED).size());
            EXPECT_FALSE(middle.empty());
            EXPECT_EQ(middle.find("\r\n"), middle.size() - 2) << "one line: " << middle;
            EXPECT_EQ(readText(path("out.cxx")), "earlier");
        }
        EXPECT_EQ(result.output, "");
    }
}

struct RefusalCase {
    std::string name;
    std::string wav;  // the WAV operand
    Bytes contents;   // written to in.wav unless the case sets up its own input
    std::string log;  // after the "Creating data file" line
};

std::vector<RefusalCase> refusalCases() {
    const std::vector<std::int16_t> samples = testSignal(100);
    const Bytes good = pcmWav(samples);
    const auto withRiffSize = [&good](std::uint32_t size) {
        Bytes bytes = good;
        for (int i = 0; i < 4; ++i) {
            bytes[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
        }
        return bytes;
    };
    const auto refusedFormat = [&samples](WavFormat format, const std::string& message) {
        return std::pair{wavFile({formatChunk(format), dataChunk(samples)}),
                         message + "\r\n" + COMPRESSION_FAILED};
    };
    WavFormat stereo;
    stereo.channels = 2;
    WavFormat floatTag;
    floatTag.formatTag = 3;
    WavFormat rate;
    rate.sampleRate = 11025;
    WavFormat eightBit;
    eightBit.blockAlign = 1;
    eightBit.bitsPerSample = 8;
    WavFormat longFormat;
    longFormat.extension = Bytes(40, 0);
    Bytes riffWave{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};

    std::vector<RefusalCase> cases = {
        {"missing WAV", "missing.wav", {}, "Can't open file \"missing.wav\", error = 2\n\r\n"},
        {"WAV in a missing directory",
         "nowhere/in.wav",
         {},
         "Can't open file \"nowhere/in.wav\", error = 3\n\r\n"},
        {"a directory as WAV", "adir", {}, "Can't open file \"adir\", error = 5\n\r\n"},
        {"empty file", "in.wav", {}, "Invalid file format\r\n"},
        {"11 bytes", "in.wav", Bytes(riffWave.begin(), riffWave.end() - 1),
         "Invalid file format\r\n"},
        {"RIFX", "in.wav",
         [&good] {
             Bytes b = good;
             b[3] = 'X';
             return b;
         }(),
         "Invalid file format\r\n"},
        {"AVI instead of WAVE", "in.wav",
         [&good] {
             Bytes b = good;
             b[8] = 'A';
             return b;
         }(),
         "Invalid file format\r\n"},
        {"RIFF size one beyond the file", "in.wav",
         withRiffSize(static_cast<std::uint32_t>(good.size() - 7)), "RIFF length is incorrect\r\n"},
        {"RIFF size 2^31", "in.wav", withRiffSize(0x80000000u), "RIFF length is incorrect\r\n"},
        {"RIFF size 3", "in.wav", withRiffSize(3), "RIFF length is incorrect\r\n"},
        {"RIFF size 0", "in.wav", withRiffSize(0), "RIFF length is incorrect\r\n"},
        {"RIFF size 4: nothing to find", "in.wav", withRiffSize(4),
         "Bad \".wav\" file format.  Did not find \"fmt\" (format) section.\r\n" +
             std::string(COMPRESSION_FAILED)},
    };
    const std::pair<WavFormat, std::string> formats[] = {
        {longFormat, "Bad \".wav\" file format.  Length of \"format\" sub-chunk is incorrect."},
        {stereo, "Bad \".wav\" file format.  Cannot process multi-channel data."},
        {floatTag, "Bad \".wav\" file format. File not in PCM/Uncompressed format."},
        {rate, "Bad \".wav\" file format.  Sample rate not 8000 samples/sec."},
        {eightBit, "Bad \".wav\" file format.  Sample size not 16 bits."},
    };
    for (const auto& [format, message] : formats) {
        auto [contents, log] = refusedFormat(format, message);
        cases.push_back({message, "in.wav", contents, log});
    }
    cases.push_back({"no data chunk", "in.wav", wavFile({formatChunk()}),
                     "Bad \".wav\" file format.  Did not find \"data\" section.\r\n" +
                         std::string(COMPRESSION_FAILED)});
    return cases;
}

TEST_F(GreetingJobTest, RefusalsLogTheirLinesAndKeepTheDataFile) {
    fs::create_directory(path("adir"));
    writeText(path("log.txt"), "");
    for (const RefusalCase& c : refusalCases()) {
        SCOPED_TRACE(c.name);
        writeBytes(path("in.wav"), c.contents);
        writeText(path("out.cxx"), "earlier greeting");
        const std::set<std::string> before = entries();
        const ProgramResult result = convert("g711", c.wav);
        EXPECT_EQ(result.exitCode, 255);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(readText(path("log.txt")), CREATING + c.log);
        EXPECT_EQ(readText(path("out.cxx")), "earlier greeting");
        EXPECT_EQ(entries(), before) << "a file was left behind";
    }
}

TEST_F(GreetingJobTest, RiffSizeMayStopShortOfTheFile) {
    const std::vector<std::int16_t> samples = testSignal(300);
    // Trailing bytes outside the RIFF chunk are ignored.
    writeBytes(path("in.wav"), wavFile({formatChunk(), dataChunk(samples)}, {}, Bytes(9, 0xEE)));
    ASSERT_EQ(convert("g711").exitCode, 0);
    const Bytes written = readBytes(path("out.cxx"));
    EXPECT_EQ(written, aLawGreeting(samples, written));
}

TEST_F(GreetingJobTest, EmptyDataChunkGivesAHeaderOnlyFile) {
    writeBytes(path("in.wav"), pcmWav({}));
    ASSERT_EQ(convert("g711").exitCode, 0);
    const Bytes written = readBytes(path("out.cxx"));
    ASSERT_EQ(written.size(), 214u);
    EXPECT_EQ(bigEndian32At(written, 0), 214);
}

TEST_F(GreetingJobTest, OutputInAMissingDirectoryIsABadPath) {
    writeBytes(path("in.wav"), pcmWav(testSignal(100)));
    const ProgramResult result = convert("g711", "in.wav", "gone/out.cxx");
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(readText(path("log.txt")),
              "Creating data file - \"gone/out.cxx\"\r\n"
              "Can't open file \"gone/out.cxx\", error = 3\n\r\n");
    EXPECT_FALSE(fs::exists(path("gone")));
}

TEST_F(GreetingJobTest, ReadOnlyRecordingIsConverted) {
    writeBytes(path("in.wav"), pcmWav(testSignal(100)));
    fs::permissions(path("in.wav"), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(convert("g711").exitCode, 0);
    EXPECT_EQ(readText(path("log.txt")), CREATING);
}

TEST_F(GreetingJobTest, DataFileMayReplaceItsRecording) {
    const std::vector<std::int16_t> samples = testSignal(700);
    writeBytes(path("same.wav"), pcmWav(samples));
    ASSERT_EQ(convert("g711", "same.wav", "same.wav").exitCode, 0);
    const Bytes written = readBytes(path("same.wav"));
    EXPECT_EQ(written, aLawGreeting(samples, written));
}

TEST_F(GreetingJobTest, LongNamesAreCutToTheirFields) {
    writeBytes(path("in.wav"), pcmWav(testSignal(10)));
    const std::string mailbox(40, 'm');
    const std::string recording = std::string(31, 'r') + "\xF0\x9F\x98\x80";  // then a pair
    ASSERT_EQ(run({"/convert:in.wav", mailbox, recording, "g711", "out.cxx", "log.txt"}).exitCode,
              0);
    const Bytes written = readBytes(path("out.cxx"));
    ExpectedHeader header{std::u16string(32, u'm'), std::u16string(31, u'r')};
    header.recordTime = bigEndian32At(written, 206);
    EXPECT_EQ(Bytes(written.begin() + 6, written.begin() + 214), header.bytes());
}

}  // namespace
}  // namespace quen::test
