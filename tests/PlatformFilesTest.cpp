// The operating-system layer's promises about files: a replacement that has no name
// until its commit, gives a new file 0666 less the umask and keeps a replaced file's
// mode, and leaves the target and the directory as they were after a failed write; an
// input file read at offsets it cannot have, at its end, held by a writer or a pipe; the
// whole-file reader's size limit to the byte; where a malformed document is placed in
// every encoding; and the descriptor owner and the vectored write loop.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>

#include "platform/AtomicFileWriter.h"
#include "platform/FileHandle.h"
#include "platform/InputFile.h"
#include "platform/RegularFileReader.h"
#include "platform/TextConversion.h"
#include "platform/XmlDocument.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t BEYOND_ANY_OFFSET = std::numeric_limits<std::uint64_t>::max() - 4;

class PlatformFilesTest : public TempDirTest {
  protected:
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    mode_t modeOf(const std::string& name) const {
        struct stat info {};
        EXPECT_EQ(::stat(path(name).c_str(), &info), 0);
        return info.st_mode & 07777;
    }
};

TEST_F(PlatformFilesTest, AReplacementIsUnnamedUntilItsCommit) {
    const Bytes content{1, 2, 3};
    const std::array<ByteSpan, 1> pieces{ByteSpan(content)};
    FileReplacement replacement(path("out").string());
    replacement.append(pieces);
    EXPECT_TRUE(entries().empty());
    ASSERT_TRUE(replacement.commit().ok());
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});
    EXPECT_EQ(readBytes(path("out")), content);
}

TEST_F(PlatformFilesTest, ANewFileTakesTheUmaskAndAReplacedOneKeepsItsMode) {
    const Bytes content{9};
    const std::array<ByteSpan, 1> pieces{ByteSpan(content)};
    writeText(path("kept"), "old");
    ASSERT_EQ(::chmod(path("kept").c_str(), 0751), 0);
    const mode_t previous = ::umask(027);
    const bool created = replaceFileAtomically(path("new").string(), pieces).ok();
    const bool replaced = replaceFileAtomically(path("kept").string(), pieces).ok();
    ::umask(previous);
    ASSERT_TRUE(created);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(modeOf("new"), 0640u);
    EXPECT_EQ(modeOf("kept"), 0751u);
    EXPECT_EQ(readBytes(path("kept")), content);
}

// A write the system refuses is reported at the commit; the target keeps its bytes and
// no temporary file stays. The refusal must not be taken for an interruption and retried.
TEST_F(PlatformFilesTest, ARefusedOverwriteFailsTheCommitAndLeavesTheTargetAlone) {
    writeText(path("out"), "old");
    const Bytes content{1, 2, 3, 4};
    const std::array<ByteSpan, 1> pieces{ByteSpan(content)};
    {
        FileReplacement replacement(path("out").string());
        replacement.append(pieces);
        replacement.overwrite(BEYOND_ANY_OFFSET, ByteSpan(content).first(2));
        // Nothing more is written after the failure.
        replacement.overwrite(0, ByteSpan(content).first(2));
        const Result<void> committed = replacement.commit();
        ASSERT_FALSE(committed.ok());
        EXPECT_EQ(committed.failure().text, std::strerror(EINVAL));
    }
    EXPECT_EQ(readText(path("out")), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});
}

TEST_F(PlatformFilesTest, ATargetLockedByAnotherOpenerIsNotReplaced) {
    writeText(path("out"), "old");
    const FileHandle holder(::open(path("out").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(holder.get(), LOCK_EX), 0);
    const Bytes content{1};
    const std::array<ByteSpan, 1> pieces{ByteSpan(content)};
    const Result<void> replaced = replaceFileAtomically(path("out").string(), pieces);
    ASSERT_FALSE(replaced.ok());
    EXPECT_EQ(replaced.failure().text, std::strerror(EWOULDBLOCK));
    EXPECT_EQ(readText(path("out")), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});
}

TEST_F(PlatformFilesTest, AnInputFileReadsItsBytesAndFailsPastThemWithoutRetrying) {
    writeText(path("in"), "abcdef");
    struct Case {
        std::uint64_t offset;
        std::size_t length;
        bool read;
        std::string failure;
    };
    const Case cases[] = {
        {0, 6, true, ""},
        {5, 1, true, ""},
        {5, 2, false, "the read stopped short"},
        {6, 1, false, "the read stopped short"},
        {BEYOND_ANY_OFFSET, 1, false, std::strerror(EINVAL)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        InputFile file(path("in").string());
        ASSERT_FALSE(file.failure());
        EXPECT_EQ(file.size(), 6u);
        Bytes out(c.length);
        EXPECT_EQ(file.readAt(c.offset, out), c.read);
        if (c.read) {
            EXPECT_EQ(std::string(out.begin(), out.end()),
                      std::string("abcdef").substr(c.offset, c.length));
        } else {
            ASSERT_TRUE(file.failure());
            EXPECT_EQ(file.failure()->text, c.failure);
            EXPECT_EQ(file.failure()->reason, FailureReason::CannotRead);
        }
    }
    InputFile file(path("in").string());
    Bytes out(10);
    EXPECT_EQ(file.readUpTo(4, out), std::optional<std::size_t>(2));
    EXPECT_EQ(file.readUpTo(6, out), std::optional<std::size_t>(0));
    EXPECT_EQ(file.readUpTo(BEYOND_ANY_OFFSET, out), std::nullopt);
    ASSERT_TRUE(file.failure());
    EXPECT_EQ(file.failure()->text, std::strerror(EINVAL));
}

// A pipe is looked at, never opened (an open would wait for a writer); a file a writer
// holds is refused at once rather than waited for.
TEST_F(PlatformFilesTest, APipeIsNotOpenedAndAFileHeldByAWriterIsRefused) {
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    const Result<InputFile> pipe = InputFile::openRegular(path("fifo").string());
    ASSERT_FALSE(pipe.ok());
    EXPECT_EQ(pipe.failure().text, "a pipe");
    EXPECT_EQ(pipe.failure().reason, FailureReason::NotRegular);

    writeText(path("held"), "x");
    const FileHandle writer(::open(path("held").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(writer.get(), LOCK_EX), 0);
    const Result<InputFile> held = InputFile::openRegular(path("held").string());
    ASSERT_FALSE(held.ok());
    EXPECT_EQ(held.failure().text, std::strerror(EWOULDBLOCK));
    EXPECT_EQ(held.failure().reason, FailureReason::CannotOpen);
}

// A descriptor's link under /proc reaches the file it stands for, even one with no name.
TEST_F(PlatformFilesTest, ADescriptorsLinkReachesAFileWithNoName) {
    const FileHandle unnamed(::open(dir().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    ASSERT_TRUE(unnamed.valid());
    ASSERT_TRUE(writeAll(unnamed.get(), "abc"));
    const std::string fd = std::to_string(unnamed.get());
    for (const std::string& link :
         {"/proc/self/fd/" + fd, "/proc/" + std::to_string(::getpid()) + "/fd/" + fd}) {
        SCOPED_TRACE(link);
        InputFile file(link);
        ASSERT_FALSE(file.failure()) << file.failure()->text;
        EXPECT_EQ(file.size(), 3u);
        Bytes out(3);
        ASSERT_TRUE(file.readAt(0, out));
        EXPECT_EQ(out, (Bytes{'a', 'b', 'c'}));
    }
}

TEST_F(PlatformFilesTest, AWholeFileIsReadUpToItsLimitAndRefusedAByteBeyond) {
    writeText(path("in"), "0123456789");
    const auto atLimit = readRegularFile(path("in").string(), 10);
    ASSERT_TRUE(atLimit.ok());
    EXPECT_EQ(*atLimit, (Bytes{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}));
    const auto beyond = readRegularFile(path("in").string(), 9);
    ASSERT_FALSE(beyond.ok());
    EXPECT_EQ(beyond.failure().reason, FailureReason::TooLarge);
    EXPECT_EQ(beyond.failure().text, "10 bytes");
    // A document above the limit is refused by its size, unread.
    const FileHandle sparse(::open(path("big.xml").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_EQ(::ftruncate(sparse.get(), XmlDocument::MAX_FILE_BYTES + 1), 0);
    XmlDocument document;
    const Result<void> loaded = document.load(toWide(path("big.xml").string()));
    ASSERT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.failure().reason, FailureReason::TooLarge);
}

// Bytes of `text` (ASCII and the code points given as \U escapes) in UTF-32.
Bytes utf32(std::u32string_view text, bool little) {
    Bytes bytes;
    for (const char32_t c : text) {
        for (int i = 0; i < 4; ++i) {
            const int shift = little ? 8 * i : 24 - 8 * i;
            bytes.push_back(static_cast<std::uint8_t>(c >> shift));
        }
    }
    return bytes;
}

Bytes utf16(std::u16string_view text, bool little) {
    Bytes bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(little ? c : c >> 8));
        bytes.push_back(static_cast<std::uint8_t>(little ? c >> 8 : c));
    }
    return bytes;
}

// `bytes` less its last `count`.
Bytes cut(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(count));
}

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Lines end at LF, CR LF or a lone CR; columns count characters, whatever their width
// in the file's encoding, and the byte-order mark is none.
TEST_F(PlatformFilesTest, AMalformedDocumentIsPlacedByLineAndCharacterInEveryEncoding) {
    const std::string mismatch = "Start-end tags mismatch";
    const std::pair<Bytes, std::string> cases[] = {
        {bytesOf("<a></b>"), mismatch + " at line 1, column 6"},
        {bytesOf("\xEF\xBB\xBF<a></b>"), mismatch + " at line 1, column 6"},
        {bytesOf("<a>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</b>"), mismatch + " at line 1, column 9"},
        {bytesOf("<a>\r\n\r\r\n\n x</b>"), mismatch + " at line 5, column 5"},
        {bytesOf("<a/>\n <b/>"), "More than one root element at line 2, column 3"},
        {bytesOf("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>\xE9\xE9</b>"),
         mismatch + " at line 2, column 8"},
        {utf16(u"\uFEFF<a>\u00E9\U0001F600\n</b>", true), mismatch + " at line 2, column 3"},
        {utf16(u"\uFEFF<a>\u00E9\U0001F600</b>", false), mismatch + " at line 1, column 8"},
        {utf32(U"\uFEFF<a>\U0010FFFF\U00010000\uFFFF</b>", true),
         mismatch + " at line 1, column 9"},
        {utf32(U"\uFEFF<a>\U0010FFFF\U00010000\uFFFF</b>", false),
         mismatch + " at line 1, column 9"},
        // Past the last code point: one character, as a replacement would be.
        {utf32(std::u32string(U"\uFEFF<a>") + char32_t{0x110000} + U"</b>", true),
         mismatch + " at line 1, column 7"},
        // Cut short: the last character counts, the bytes of a part of one do not.
        {utf32(U"\uFEFF<a>\U0001F600", true), mismatch + " at line 1, column 5"},
        {cut(utf32(U"\uFEFF<a>\U0001F600 ", true), 1), mismatch + " at line 1, column 5"},
    };
    for (const auto& [bytes, failure] : cases) {
        SCOPED_TRACE(failure);
        writeBytes(path("t.xml"), bytes);
        XmlDocument document;
        const Result<void> loaded = document.load(toWide(path("t.xml").string()));
        ASSERT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.failure().text, failure);
        EXPECT_EQ(loaded.failure().reason, FailureReason::Malformed);
    }
}

TEST(FileHandleTest, EveryDescriptorIsClosedIncludingTheFirst) {
    // Descriptor 0 is a file like any other once standard input was closed at start.
    const int saved = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(null, 0);
    ASSERT_EQ(::dup2(null, 0), 0);
    ::close(null);
    { const FileHandle first(0); }
    const bool closed = ::fcntl(0, F_GETFD) == -1 && errno == EBADF;
    if (saved >= 0) {
        ::dup2(saved, 0);
        ::close(saved);
    }
    EXPECT_TRUE(closed);
}

TEST_F(PlatformFilesTest, VectoredWritesCarryMorePiecesThanOneCallTakes) {
    // Empty pieces among them, and more of them than one writev may take.
    Bytes expected;
    std::vector<Bytes> storage;
    for (int i = 0; i < IOV_MAX + 300; ++i) {
        storage.push_back(Bytes(static_cast<std::size_t>(i % 3), static_cast<std::uint8_t>(i)));
        expected.insert(expected.end(), storage.back().begin(), storage.back().end());
    }
    const std::vector<ByteSpan> pieces(storage.begin(), storage.end());
    const FileHandle file(::open(path("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(writeAll(file.get(), pieces));
    EXPECT_EQ(readBytes(path("out")), expected);
}

}  // namespace
}  // namespace quen::test
