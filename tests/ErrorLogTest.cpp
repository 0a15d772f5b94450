// The error log's lock, which keeps a second run from emptying a log in use.
#include <gtest/gtest.h>

#include "tests/LogCaptureTest.h"

namespace quen::test {
namespace {

using ErrorLogTest = LogCaptureTest;

TEST_F(ErrorLogTest, ALogInUseIsNeitherOpenedNorEmptiedByAnotherRun) {
    ErrorLog::instance().write("first run");
    const ProgramResult second = run({"/batch1:t.xml", "wav", "out", "log.txt"});
    EXPECT_EQ(second.exitCode, 255);
    EXPECT_EQ(second.output, "Failed to open the errorlog file <log.txt>\n");
    ErrorLog::instance().write("still mine");
    EXPECT_EQ(logText(), "first run\r\nstill mine\r\n");
}

}  // namespace
}  // namespace quen::test
