// /convertMsg: end to end: the message file byte for byte, the flash type and codec of
// each format word, and the diagnostic line on standard output with its NUL bytes.
#include <gtest/gtest.h>

#include "tests/DataFileExpectation.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

using namespace std::string_literals;

constexpr const char* CREATING = "Creating data file - \"msg.cxx\"\r\n";

class MessageJobTest : public TempDirTest {
  protected:
    ProgramResult convert(const std::string& format, const std::string& isNew,
                          const std::string& internal, const std::string& recordTime = "12",
                          const std::string& listenTime = "0") {
        return run({"/convertMsg:in.wav", "1001", "+15551234567", "Front desk", format, isNew,
                    internal, recordTime, listenTime, "msg.cxx", "log.txt"});
    }

    static ExpectedHeader header(char internal, std::int32_t recordTime, std::int32_t listenTime) {
        ExpectedHeader expected{u"1001", u"+15551234567", u"Front desk"};
        expected.internalFlag = {0x00, static_cast<std::uint8_t>(internal), 0x00, 0x00};
        expected.recordTime = recordTime;
        expected.listenTime = listenTime;
        return expected;
    }
};

TEST_F(MessageJobTest, WritesTheMessageFileAndTheDiagnosticLine) {
    const std::vector<std::int16_t> samples = testSignal(6000);
    writeBytes(path("in.wav"), pcmWav(samples));
    const ProgramResult result = convert("ulaw", "N", "Y", "-5", "-1");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output,
              "quenFlashType = 0x8a, cpType = 0x8a, seconds = -5, internalFlag = \0Y\0\0"s);
    EXPECT_EQ(readText(path("log.txt")), CREATING);
    const Bytes written = readBytes(path("msg.cxx"));
    EXPECT_EQ(written, expectedDataFile(0x8A, header('Y', -5, -1), muLawStream(samples), 80));
    EXPECT_EQ(Bytes(written.begin() + 206, written.begin() + 214),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(MessageJobTest, FormatWordAndNewFlagGiveFlashTypeAndCodec) {
    const std::vector<std::int16_t> samples = testSignal(1000);
    writeBytes(path("in.wav"), pcmWav(samples));
    const struct {
        const char* format;
        const char* isNew;
        const char* internal;
        std::uint8_t flashType;
        std::string diagnostic;
        bool muLaw;
    } rows[] = {
        {"g711", "N", "N", 0x89,
         "quenFlashType = 0x89, cpType = 0x89, seconds = 12, internalFlag = \0N\0\0"s, false},
        {"g711", "yes", "true", 0x89,
         "quenFlashType = 0x89, cpType = 0x89, seconds = 12, internalFlag = \0Y\0\0"s, false},
        {"G711", "y", "Y", 0xE9,
         "quenFlashType = 0xe9, cpType = 0x89, seconds = 12, internalFlag = \0Y\0\0"s, false},
        {"U-LAW", "TRUE", "n", 0xEA,
         "quenFlashType = 0xea, cpType = 0x8a, seconds = 12, internalFlag = \0N\0\0"s, true},
        {"ulaw", "N", "N", 0x8A,
         "quenFlashType = 0x8a, cpType = 0x8a, seconds = 12, internalFlag = \0N\0\0"s, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.format) + " " + row.isNew);
        const ProgramResult result = convert(row.format, row.isNew, row.internal);
        ASSERT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output, row.diagnostic);
        const Bytes stream = row.muLaw ? muLawStream(samples) : aLawStream(samples);
        const char internal = static_cast<char>(row.diagnostic[row.diagnostic.size() - 3]);
        EXPECT_EQ(readBytes(path("msg.cxx")),
                  expectedDataFile(row.flashType, header(internal, 12, 0), stream, 80));
    }
}

TEST_F(MessageJobTest, NewG723MessageUsesTheFormatCodeAsFlashType) {
    writeBytes(path("in.wav"), pcmWav(testSignal(240 * 10)));
    const ProgramResult result = convert("g723", "Y", "N", "7");
    // The line comes before the compression, so it is there whatever the codec does.
    EXPECT_EQ(result.output,
              "quenFlashType = 0xeb, cpType = 0x8b, seconds = 7, internalFlag = \0N\0\0"s);
    if (result.exitCode == 0) {
        const Bytes written = readBytes(path("msg.cxx"));
        ASSERT_EQ(written.size(), 214u + 1 + 240);
        EXPECT_EQ(written[4], 0xEB);
        EXPECT_EQ(written[214], 9);
    } else {
        EXPECT_TRUE(readText(path("log.txt"))
                        .ends_with("Compression of \"in.wav\" file failed on bad format.\r\n"));
        EXPECT_FALSE(std::filesystem::exists(path("msg.cxx")));
    }
}

TEST_F(MessageJobTest, DiagnosticLineOnlyAfterTheRiffChecks) {
    writeBytes(path("in.wav"), Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'X'});
    ProgramResult result = convert("ulaw", "N", "Y");
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(readText(path("log.txt")), CREATING + "Invalid file format\r\n"s);

    WavFormat stereo;
    stereo.channels = 2;
    writeBytes(path("in.wav"), wavFile({formatChunk(stereo), dataChunk(testSignal(10))}));
    writeText(path("msg.cxx"), "earlier");
    result = convert("ulaw", "N", "Y");
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.output,
              "quenFlashType = 0x8a, cpType = 0x8a, seconds = 12, internalFlag = \0Y\0\0"s);
    EXPECT_EQ(readText(path("log.txt")),
              CREATING + "Bad \".wav\" file format.  Cannot process multi-channel data.\r\n"s +
                  "Compression of \"in.wav\" file failed on bad format.\r\n");
    EXPECT_EQ(readText(path("msg.cxx")), "earlier");
}

TEST_F(MessageJobTest, TextsAreCutToTheirFields) {
    writeBytes(path("in.wav"), pcmWav(testSignal(10)));
    const std::string display(40, 'd');
    ASSERT_EQ(run({"/convertMsg:in.wav", "1001", "", display, "g711", "N", "N", "1", "2", "msg.cxx",
                   "log.txt"})
                  .exitCode,
              0);
    const Bytes written = readBytes(path("msg.cxx"));
    ExpectedHeader expected{u"1001", u"", std::u16string(32, u'd')};
    expected.internalFlag = {0x00, 'N', 0x00, 0x00};
    expected.recordTime = 1;
    expected.listenTime = 2;
    EXPECT_EQ(Bytes(written.begin() + 6, written.begin() + 214), expected.bytes());
}

}  // namespace
}  // namespace quen::test
