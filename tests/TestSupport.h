// Shared test tools: a fresh temporary directory per test, file helpers, and running
// the built program the way a caller does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quen::test {

using Bytes = std::vector<std::uint8_t>;

Bytes readBytes(const std::filesystem::path& path);
std::string readText(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const Bytes& bytes);
inline void writeText(const std::filesystem::path& path, const std::string& text) {
    writeBytes(path, Bytes(text.begin(), text.end()));
}

// A file that holds less than the size it states: sysfs gives every file a size of 4096
// bytes, and this one holds a number and a newline. A build chroot may have no /sys; the
// tests that need it skip there, saying so.
// A sanitizer's runtime reserves and keeps memory of its own, and fails instead of
// returning nothing: peak memory and memory limits are tried in plain builds only.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool MEMORY_IS_MEASURED = false;
#else
inline constexpr bool MEMORY_IS_MEASURED = true;
#endif
inline constexpr const char* NOT_MEASURED = "memory is not measured under a sanitizer";

inline constexpr const char* SHORTER_THAN_STATED = "/sys/kernel/uevent_seqnum";
inline constexpr const char* NO_SHORTER_FILE = "no sysfs at /sys: no file holds less than its size";

// Files a fault may write without end: a program run by runBinary writes at most
// PROGRAM_FILE_BYTES to any file, and the suite, which makes sparse files of several
// gigabytes itself, at most SUITE_FILE_BYTES. A runaway writer dies of SIGXFSZ and fails
// its test in seconds instead of filling the disk until a timeout.
inline constexpr std::uint64_t PROGRAM_FILE_BYTES = std::uint64_t{1} << 30;
inline constexpr std::uint64_t SUITE_FILE_BYTES = std::uint64_t{16} << 30;
// Applies SUITE_FILE_BYTES to this process and every program it starts.
void limitSuiteFiles();

struct ProgramResult {
    int exitCode = -1;
    std::string output;  // standard output, byte for byte
};

// No program a test runs takes more than seconds; one that hangs (a fault that loops)
// is ended after this long and fails its test with exit code 124, instead of holding
// the whole suite until an outer limit.
inline constexpr int PROGRAM_HANG_SECONDS = 3 * QUEN_TEST_HANG_SECONDS;

// Runs `program` with `arguments` (program name excluded) in `directory`, its files
// limited to PROGRAM_FILE_BYTES, ended after `seconds`.
ProgramResult runBinary(const std::string& program, const std::vector<std::string>& arguments,
                        const std::filesystem::path& directory, int seconds = PROGRAM_HANG_SECONDS);

// A test fixture that owns a fresh, empty directory and removes it afterwards.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path path(const std::string& name) const { return dir_ / name; }
    // Runs the built QuenGreeting in the directory.
    ProgramResult run(const std::vector<std::string>& arguments) const {
        return runBinary(QUEN_BINARY, arguments, dir_);
    }
    // The exit status of `command` run by the shell in the directory; -1 for a signal.
    int shell(const std::string& command) const;

  private:
    std::filesystem::path dir_;
};

}  // namespace quen::test
