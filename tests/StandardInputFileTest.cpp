// Standard input kept in an unnamed temporary file: the bytes whole and in order, read
// back by its path as a named file is, the limit exact to the byte, nothing left in the
// temporary directory, and no file in that directory taken for it by its link's text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/InputFile.h"
#include "platform/StandardInputFile.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

class StandardInputFileTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        const char* earlier = std::getenv("TMPDIR");
        earlierTmpdir_ = earlier != nullptr ? std::optional<std::string>(earlier) : std::nullopt;
        ::setenv("TMPDIR", path("tmp").c_str(), 1);
        std::filesystem::create_directory(path("tmp"));
    }
    void TearDown() override {
        if (earlierTmpdir_) {
            ::setenv("TMPDIR", earlierTmpdir_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
        TempDirTest::TearDown();
    }

    // `bytes` through a pipe, written by a thread of their own so that more than the
    // pipe holds can pass: the copy, or why not. A caller may hand over a non-blocking
    // pipe; it is written after a pause, so that the reader first finds it empty.
    static Result<StandardInputFile> spoolThroughPipe(const Bytes& bytes, std::uint64_t limit,
                                                      bool nonBlocking = false) {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        if (nonBlocking) {
            EXPECT_EQ(::fcntl(ends[0], F_SETFL, O_NONBLOCK), 0);
        }
        std::thread writer([&bytes, end = ends[1], nonBlocking] {
            if (nonBlocking) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            // The reader may stop at its limit: the rest is refused with EPIPE, not a
            // signal, since the tests ignore SIGPIPE like the program does.
            (void)writeAll(end, bytes.data(), bytes.size());
            ::close(end);
        });
        Result<StandardInputFile> spooled = StandardInputFile::spool(limit, ends[0]);
        ::close(ends[0]);
        writer.join();
        return spooled;
    }

    // What InputFile reads at `path`.
    static Bytes readBack(const std::string& path) {
        auto file = InputFile::openRegular(path);
        EXPECT_TRUE(file) << (file ? "" : file.failure().text);
        if (!file) {
            return {};
        }
        Bytes bytes(static_cast<std::size_t>(file->size()));
        EXPECT_TRUE(file->readAt(0, bytes));
        return bytes;
    }

    bool temporaryDirectoryIsEmpty() const { return std::filesystem::is_empty(path("tmp")); }

  private:
    std::optional<std::string> earlierTmpdir_;
};

Bytes numbered(std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    return bytes;
}

TEST_F(StandardInputFileTest, EveryByteComesBackInOrderThroughItsPathAndNothingHasAName) {
    ::signal(SIGPIPE, SIG_IGN);
    // Several buffers' worth, past what a pipe holds, and nothing at all; the end of a
    // non-blocking pipe that was empty before is its end too.
    for (const bool nonBlocking : {false, true}) {
        for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{300000}}) {
            SCOPED_TRACE(::testing::Message() << count << (nonBlocking ? " non-blocking" : ""));
            const Bytes bytes = numbered(count);
            auto spooled = spoolThroughPipe(bytes, 1 << 20, nonBlocking);
            ASSERT_TRUE(spooled) << spooled.failure().text;
            EXPECT_EQ(spooled->size(), count);
            EXPECT_TRUE(temporaryDirectoryIsEmpty());
            EXPECT_EQ(readBack(spooled->path()), bytes);
        }
    }
}

TEST_F(StandardInputFileTest, TheLimitIsExactAndReadingStopsPastIt) {
    ::signal(SIGPIPE, SIG_IGN);
    const Bytes bytes = numbered(100000);
    auto exact = spoolThroughPipe(bytes, bytes.size());
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->size(), bytes.size());
    auto over = spoolThroughPipe(bytes, bytes.size() - 1);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.failure().reason, FailureReason::TooLarge);
    EXPECT_EQ(over.failure().text, "more than 99999 bytes, the most read here");
    EXPECT_TRUE(temporaryDirectoryIsEmpty());
}

// A file given as standard input that is larger than the limit is refused unread.
TEST_F(StandardInputFileTest, ALargerFileOnStandardInputIsRefusedBeforeItIsRead) {
    writeBytes(path("in.bin"), numbered(11));
    const int input = ::open(path("in.bin").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(input, 0);
    auto refused = StandardInputFile::spool(10, input);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.failure().reason, FailureReason::TooLarge);
    EXPECT_EQ(::lseek(input, 0, SEEK_CUR), 0);
    auto taken = StandardInputFile::spool(11, input);
    ::close(input);
    ASSERT_TRUE(taken);
    EXPECT_EQ(readBack(taken->path()), numbered(11));
}

TEST_F(StandardInputFileTest, NoTemporaryDirectoryIsAFailureToOpen) {
    ::setenv("TMPDIR", path("missing").c_str(), 1);
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    auto spooled = StandardInputFile::spool(10, input);
    ::close(input);
    ASSERT_FALSE(spooled);
    EXPECT_EQ(spooled.failure().reason, FailureReason::CannotOpen);
}

// The link under /proc reads "<dir>/#<inode> (deleted)"; a file given that name by
// someone else in a shared temporary directory must not be read in the copy's place.
TEST_F(StandardInputFileTest, AFileNamedLikeTheLinksTargetIsNotReadInstead) {
    ::signal(SIGPIPE, SIG_IGN);
    auto spooled = spoolThroughPipe(numbered(64), 1024);
    ASSERT_TRUE(spooled);
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(spooled->path().c_str(), target.data(), target.size());
    ASSERT_GT(length, 0);
    target.resize(static_cast<std::size_t>(length));
    ASSERT_TRUE(target.starts_with(path("tmp").string() + "/")) << target;
    writeText(target, "a decoy");
    EXPECT_EQ(readBack(spooled->path()), numbered(64));
}

}  // namespace
}  // namespace quen::test
