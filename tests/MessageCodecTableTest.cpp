// The message job's codec table for format codes the command line never produces:
// the flash type is the code's low byte, and unlisted codes are mu-law.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/Converter.h"
#include "platform/TextConversion.h"
#include "tests/DataFileExpectation.h"
#include "tests/LogCaptureTest.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

class MessageCodecTableTest : public LogCaptureTest {
  protected:
    // Runs the job in this process with standard output going to a file; returns what
    // the job printed.
    std::string convert(std::int32_t formatCode, bool& succeeded) {
        const std::string console = path("console.txt").string();
        const int saved = ::dup(STDOUT_FILENO);
        const int file = ::open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, STDOUT_FILENO);
        ::close(file);
        succeeded = Converter().convertMessage(toWide(path("in.wav").string()),
                                               toWide(path("msg.cxx").string()), formatCode, u"7",
                                               u"", u"", {}, {0x00, 'N', 0x00, 0x00}, 3, 4);
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
        return readText(console);
    }
};

TEST_F(MessageCodecTableTest, CodesChooseTheCodecAndTheFlashType) {
    const std::vector<std::int16_t> samples = testSignal(500);
    writeBytes(path("in.wav"), pcmWav(samples));
    const struct {
        std::int32_t formatCode;
        std::int32_t cpType;
    } rows[] = {
        {0x81, 0x89}, {0xC9, 0x89}, {0xE9, 0x89}, {0x89, 0x89},  {0x00, 0x8A},
        {0x82, 0x8A}, {0x8A, 0x8A}, {0xEA, 0x8A}, {0x18B, 0x8A}, {0x83, 0x8B},
        {0xCB, 0x8B}, {0xEB, 0x8B}, {0x8B, 0x8B},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.formatCode);
        bool succeeded = false;
        const std::string printed = convert(row.formatCode, succeeded);
        char expected[100];
        std::snprintf(expected, sizeof expected,
                      "quenFlashType = 0x%x, cpType = 0x%x, seconds = 3, ", row.formatCode,
                      row.cpType);
        EXPECT_EQ(printed, expected + std::string("internalFlag = \0N\0\0", 19));
        if (row.cpType == 0x8B) {
            continue;  // the G.723.1 codec has tests of its own
        }
        ASSERT_TRUE(succeeded);
        ExpectedHeader header{u"7"};
        header.internalFlag = {0x00, 'N', 0x00, 0x00};
        header.recordTime = 3;
        header.listenTime = 4;
        const Bytes stream = row.cpType == 0x8A ? muLawStream(samples) : aLawStream(samples);
        EXPECT_EQ(readBytes(path("msg.cxx")),
                  expectedDataFile(static_cast<std::uint8_t>(row.formatCode), header, stream, 80));
    }
}

}  // namespace
}  // namespace quen::test
