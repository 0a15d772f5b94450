// The error log opened on "log.txt" of the test directory.
#include "tests/LogCaptureTest.h"

#include "app/ErrorLog.h"
#include "platform/TextConversion.h"

namespace quen::test {

void LogCaptureTest::SetUp() {
    TempDirTest::SetUp();
    ErrorLog::instance().close();
    ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
}

void LogCaptureTest::TearDown() {
    ErrorLog::instance().close();
    TempDirTest::TearDown();
}

std::string LogCaptureTest::logText() const {
    return readText(path("log.txt"));
}

}  // namespace quen::test
