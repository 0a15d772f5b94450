// The error log's bytes: UTF-8 text, CR LF per line, truncation on open, the lock
// that keeps a second run from emptying a log in use.
#include <gtest/gtest.h>

#include "platform/ErrorLog.h"
#include "platform/TextConversion.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

class ErrorLogTest : public TempDirTest {
  protected:
    void TearDown() override {
        ErrorLog::instance().close();
        TempDirTest::TearDown();
    }
    std::u16string logPath() const { return toWide(path("log.txt").string()); }
};

TEST_F(ErrorLogTest, TruncatesOnOpenAndWritesEachMessageAsOneCrLfLine) {
    writeText(path("log.txt"), "an older run's lines\r\n");
    ErrorLog& log = ErrorLog::instance();
    ASSERT_TRUE(log.open(logPath()));
    EXPECT_EQ(readText(path("log.txt")), "");
    // A second open keeps the first file.
    EXPECT_TRUE(log.open(toWide(path("other.txt").string())));
    log.write("The results-directory doesn't exit");
    log.write(u"Can't open file \"x\", error = 2\n");
    log.write("");
    log.write(u"caf\u00E9 \xDCFF");
    log.write(std::u16string(u"cut\0here", 8));
    log.write(std::string("cut\0here", 8));
    log.close();
    log.close();
    EXPECT_EQ(readText(path("log.txt")),
              "The results-directory doesn't exit\r\n"
              "Can't open file \"x\", error = 2\n\r\n"
              "\r\n"
              "caf\xC3\xA9 \xFF\r\n"
              "cut\r\n"
              "cut\r\n");
    EXPECT_FALSE(std::filesystem::exists(path("other.txt")));
}

TEST_F(ErrorLogTest, ALogInUseIsNeitherOpenedNorEmptiedByAnotherRun) {
    ErrorLog& log = ErrorLog::instance();
    ASSERT_TRUE(log.open(logPath()));
    log.write("first run");
    const ProgramResult second = run({"/batch1:t.xml", "wav", "out", "log.txt"});
    EXPECT_EQ(second.exitCode, 255);
    EXPECT_EQ(second.output, "Failed to open the errorlog file <log.txt>\n");
    log.write("still mine");
    log.close();
    EXPECT_EQ(readText(path("log.txt")), "first run\r\nstill mine\r\n");
}

}  // namespace
}  // namespace quen::test
