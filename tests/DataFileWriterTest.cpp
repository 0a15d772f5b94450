// Writing a data file: the preamble and pieces byte for byte, the failure categories,
// and that a failed write leaves no temporary file and keeps an earlier file.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <csignal>
#include <functional>
#include <set>

#include "datafile/DataFileWriter.h"
#include "platform/TextConversion.h"
#include "tests/LogCaptureTest.h"

namespace quen::test {
namespace fs = std::filesystem;
namespace {

class DataFileWriterTest : public LogCaptureTest {
  protected:
    DataFileWriterTest() {
        header_.setText(TextField::MailboxName, u"42");
        header_.setTime(TimeField::ListenTime, 7);
    }

    bool write(const fs::path& out, const Bytes& packets = {1, 2, 3}) const {
        return writeDataFile(toWide(out.string()), 0x8B, header_, packets);
    }

    // The expected file for `packets` with this fixture's header and flash type 0x8B.
    Bytes expectedFile(const Bytes& packets) const {
        const std::size_t total = 214 + packets.size();
        Bytes file;
        file.reserve(total);
        for (const int shift : {24, 16, 8, 0}) {
            file.push_back(static_cast<std::uint8_t>(total >> shift));
        }
        file.push_back(0x8B);
        file.push_back(0xD0);
        file.insert(file.end(), header_.bytes().begin(), header_.bytes().end());
        file.insert(file.end(), packets.begin(), packets.end());
        return file;
    }

    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::string failureLine(const fs::path& out, int category) const {
        return "Can't open file \"" + out.string() + "\", error = " + std::to_string(category) +
               "\n\r\n";
    }

    // Runs `work` in a child process so that limits and identities stay there; true
    // when it returned true.
    static bool inChild(const std::function<bool()>& work) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(work() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    DataFileHeader header_;
};

TEST_F(DataFileWriterTest, WritesPreambleHeaderAndPackets) {
    const Bytes packets{0x7F, 0xAA, 0xBB, 0x00, 0xCC};
    ASSERT_TRUE(write(path("a.cxx"), packets));
    EXPECT_EQ(readBytes(path("a.cxx")), expectedFile(packets));
    ASSERT_TRUE(write(path("empty.cxx"), {}));
    const Bytes empty = readBytes(path("empty.cxx"));
    ASSERT_EQ(empty.size(), 214u);
    EXPECT_EQ(Bytes(empty.begin(), empty.begin() + 6), (Bytes{0, 0, 0, 214, 0x8B, 208}));
    EXPECT_EQ(logText(), "");
    EXPECT_EQ(entries(), (std::set<std::string>{"a.cxx", "empty.cxx", "log.txt"}));
}

TEST_F(DataFileWriterTest, NewFileModeFollowsTheUmask) {
    const mode_t previous = ::umask(027);
    const bool written = write(path("new.cxx"));
    ::umask(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(path("new.cxx")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(DataFileWriterTest, ReplacedFileKeepsItsMode) {
    writeText(path("old.cxx"), "old content");
    fs::permissions(path("old.cxx"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    ASSERT_TRUE(write(path("old.cxx")));
    EXPECT_EQ(readBytes(path("old.cxx")), expectedFile({1, 2, 3}));
    EXPECT_EQ(fs::status(path("old.cxx")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(entries(), (std::set<std::string>{"old.cxx", "log.txt"}));
}

TEST_F(DataFileWriterTest, SymbolicLinkIsFollowed) {
    fs::create_directory(path("real"));
    writeText(path("real/target.cxx"), "old");
    fs::create_symlink("real/target.cxx", path("link.cxx"));
    fs::create_symlink("real/fresh.cxx", path("dangling.cxx"));
    ASSERT_TRUE(write(path("link.cxx")));
    ASSERT_TRUE(write(path("dangling.cxx"), {9}));
    EXPECT_TRUE(fs::is_symlink(path("link.cxx")));
    EXPECT_EQ(readBytes(path("real/target.cxx")), expectedFile({1, 2, 3}));
    EXPECT_TRUE(fs::is_symlink(path("dangling.cxx")));
    EXPECT_EQ(readBytes(path("real/fresh.cxx")), expectedFile({9}));
}

TEST_F(DataFileWriterTest, MissingDirectoryIsABadPath) {
    EXPECT_FALSE(write(path("missing/a.cxx")));
    EXPECT_EQ(logText(), failureLine(path("missing/a.cxx"), 3));
    EXPECT_FALSE(fs::exists(path("missing")));
}

TEST_F(DataFileWriterTest, DirectoryAtThePathIsAccessDenied) {
    fs::create_directory(path("d.cxx"));
    EXPECT_FALSE(write(path("d.cxx")));
    EXPECT_EQ(logText(), failureLine(path("d.cxx"), 5));
    EXPECT_TRUE(fs::is_directory(path("d.cxx")));
    EXPECT_TRUE(fs::is_empty(path("d.cxx")));
}

TEST_F(DataFileWriterTest, ReadOnlyFileIsRefusedBeforeWriting) {
    writeText(path("ro.cxx"), "keep me");
    fs::permissions(path("ro.cxx"),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // The directory stays writable, so only the file's own mode can refuse. Root may
    // write anything, so the write runs as an ordinary user.
    fs::permissions(dir(), fs::perms::all);
    const fs::path out = path("ro.cxx");
    const bool written = inChild([this, &out] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return true;
        }
        return write(out);
    });
    EXPECT_FALSE(written);
    EXPECT_EQ(readText(out), "keep me");
    EXPECT_EQ(logText(), failureLine(out, 5));
    EXPECT_EQ(entries(), (std::set<std::string>{"ro.cxx", "log.txt"}));
}

TEST_F(DataFileWriterTest, FileLockedElsewhereIsASharingViolation) {
    writeText(path("busy.cxx"), "in use");
    const int fd = ::open(path("busy.cxx").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(write(path("busy.cxx")));
    ::close(fd);
    EXPECT_EQ(readText(path("busy.cxx")), "in use");
    EXPECT_EQ(logText(), failureLine(path("busy.cxx"), 11));
}

TEST_F(DataFileWriterTest, WriteFailingHalfWayKeepsTheOldFile) {
    writeText(path("old.cxx"), "the earlier greeting");
    const fs::path out = path("old.cxx");
    // Past 300 bytes every write fails with EFBIG instead of ending the process.
    const bool written = inChild([this, &out] {
        const rlimit limit{300, 300};
        ::signal(SIGXFSZ, SIG_IGN);
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return true;
        }
        return write(out, Bytes(1000, 0x55));
    });
    EXPECT_FALSE(written);
    EXPECT_EQ(readText(out), "the earlier greeting");
    EXPECT_EQ(logText(), failureLine(out, 1));
    EXPECT_EQ(entries(), (std::set<std::string>{"old.cxx", "log.txt"}));
}

}  // namespace
}  // namespace quen::test
