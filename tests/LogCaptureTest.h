// A fixture for unit tests of code that writes to the error log: the log is open on a
// file in the test's own directory for the whole test.
#pragma once

#include "platform/ErrorLog.h"
#include "platform/TextConversion.h"
#include "tests/TestSupport.h"

namespace quen::test {

class LogCaptureTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ErrorLog::instance().close();
        ASSERT_TRUE(ErrorLog::instance().open(toWide(path("log.txt").string())));
    }
    void TearDown() override {
        ErrorLog::instance().close();
        TempDirTest::TearDown();
    }

    // Everything logged so far, byte for byte.
    std::string logText() const { return readText(path("log.txt")); }
};

}  // namespace quen::test
