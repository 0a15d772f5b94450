// A fixture for unit tests of code that writes to the error log: the log is open on a
// file in the test's own directory for the whole test.
#pragma once

#include <string>

#include "tests/TestSupport.h"

namespace quen::test {

class LogCaptureTest : public TempDirTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Everything logged so far, byte for byte.
    std::string logText() const;
};

}  // namespace quen::test
