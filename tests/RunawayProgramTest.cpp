// A fault that writes or loops without end must fail its test, not fill the disk or hold
// the suite: the programs the tests run, and the suite itself, cannot write a file past
// their limits, and a program that hangs is ended.
#include <chrono>
#include <string>

#include "tests/TestSupport.h"

namespace quen::test {
namespace {

class RunawayProgram : public TempDirTest {};

// A command that writes one byte at `offset` (sparse) and prints "0" if it could.
std::string byteAt(std::uint64_t offset) {
    return "dd if=/dev/zero of=f bs=1 count=1 seek=" + std::to_string(offset) +
           " status=none 2>/dev/null; echo $?";
}

TEST_F(RunawayProgram, AProgramRunByATestWritesNoFurtherThanItsLimit) {
    EXPECT_EQ(runBinary("/bin/sh", {"-c", byteAt(PROGRAM_FILE_BYTES - 1)}, dir()).output, "0\n");
    EXPECT_NE(runBinary("/bin/sh", {"-c", byteAt(PROGRAM_FILE_BYTES)}, dir()).output, "0\n");
}

TEST_F(RunawayProgram, TheSuiteWritesNoFurtherThanItsLimit) {
    EXPECT_EQ(shell(byteAt(SUITE_FILE_BYTES - 1) + " | grep -qx 0"), 0);
    EXPECT_NE(shell(byteAt(SUITE_FILE_BYTES) + " | grep -qx 0"), 0);
}

TEST_F(RunawayProgram, AProgramThatHangsIsEndedAndFailsItsTest) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runBinary("/bin/sleep", {"60"}, dir(), 1).exitCode, 124);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

}  // namespace
}  // namespace quen::test
