// The pieces a conversion streams through, where a boundary off by one would go
// unseen end to end: packets cut from a stream that arrives in pieces of any size,
// the path walk of the link rule, a file replacement dropped or committed, the WAV
// reader's blocks, down to a recording that shrinks while it is read, and reads and
// writes that the kernel cuts short.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <numeric>

#include "datafile/Packetiser.h"
#include "jobs/LogLines.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileHandle.h"
#include "platform/FileIdentity.h"
#include "platform/LinkRule.h"
#include "platform/TextConversion.h"
#include "tests/TestFiles.h"
#include "tests/TestSupport.h"
#include "wav/WavReader.h"

namespace quen::test {
namespace {

namespace fs = std::filesystem;

using StreamingTest = TempDirTest;

TEST(PacketiserTest, PacketsDoNotDependOnHowTheStreamArrives) {
    // Codec, frame bytes, stream length.
    const std::tuple<Codec, std::size_t, std::size_t> streams[] = {
        {Codec::ALaw, 80, 0},      {Codec::ALaw, 80, 1},     {Codec::ALaw, 80, 80},
        {Codec::MuLaw, 80, 10240}, {Codec::ALaw, 80, 10241}, {Codec::ALaw, 80, 20559},
        {Codec::G723, 24, 3072},   {Codec::G723, 24, 3096},
    };
    for (const auto& [codec, frameBytes, length] : streams) {
        Bytes stream(length);
        std::iota(stream.begin(), stream.end(), std::uint8_t{1});
        const Bytes whole = expectedDataFile(0, {}, stream, frameBytes);
        const Bytes expected(whole.begin() + 214, whole.end());
        for (const std::size_t piece :
             {std::size_t{1}, std::size_t{7}, std::size_t{10240}, std::size_t{100000}}) {
            SCOPED_TRACE(std::to_string(length) + " bytes in pieces of " + std::to_string(piece));
            Bytes packets;
            Packetiser packetiser(codec, [&packets](std::span<const ByteSpan> pieces) {
                for (const ByteSpan bytes : pieces) {
                    packets.insert(packets.end(), bytes.begin(), bytes.end());
                }
            });
            for (std::size_t at = 0; at < length; at += piece) {
                packetiser.add(ByteSpan(stream).subspan(at, std::min(piece, length - at)));
            }
            packetiser.finish();
            EXPECT_EQ(packets, expected);
            EXPECT_EQ(packetiser.size(), expected.size());
            EXPECT_EQ(packetStreamBytes(length, codec), expected.size());
        }
    }
}

TEST_F(StreamingTest, TheLinkWalkResolvesEveryLinkAndKeepsWhatDoesNotExist) {
    const std::string d = dir().string();
    fs::create_directories(path("sub"));
    fs::create_symlink("target", path("link"));
    fs::create_symlink(d + "/sub", path("dl"));
    fs::create_symlink("dl/../sub/x", path("chain"));
    fs::create_symlink("nowhere/file", path("dangling"));
    fs::create_symlink("loop", path("loop"));
    const std::pair<std::string, std::string> rows[] = {
        {d + "/absent", d + "/absent"},
        {d + "//./link", d + "/target"},
        {d + "/dl/f", d + "/sub/f"},
        {d + "/chain", d + "/sub/../sub/x"},
        {d + "/dangling", d + "/nowhere/file"},
        {d + "/dl/", d + "/sub/"},
        {d + "/missing/../link", d + "/missing/../link"},
    };
    for (const auto& [given, resolved] : rows) {
        const auto result = followLinks(given);
        ASSERT_TRUE(result) << given;
        EXPECT_EQ(*result, resolved) << given;
    }
    // Links under /proc claim a size of 0 or 64 bytes, whatever their targets hold.
    const std::string longName = path(std::string(100, 'n')).string();
    writeText(longName, "");
    const FileHandle open(::open(longName.c_str(), O_RDONLY));
    const std::pair<std::string, std::string> procRows[] = {
        {"/proc/self/cwd/absent", fs::current_path().string() + "/absent"},
        {"/proc/self/fd/" + std::to_string(open.get()), longName},
        {".", "."},
    };
    for (const auto& [given, resolved] : procRows) {
        const auto result = followLinks(given);
        ASSERT_TRUE(result) << given;
        EXPECT_EQ(*result, resolved) << given;
    }
    // A link that cannot be read ends the walk: the working directory of a child that
    // has ended but is not yet waited for.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(0);
    }
    siginfo_t ended{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOWAIT), 0);
    const auto unreadable = followLinks("/proc/" + std::to_string(child) + "/cwd/out");
    ::waitpid(child, nullptr, 0);
    ASSERT_FALSE(unreadable);
    EXPECT_EQ(unreadable.failure().text, "a symbolic link cannot be read");
    // A file not written yet is named by its directory's real path.
    EXPECT_EQ(fileIdentity(d + "/dl/new"), fs::canonical(path("sub")).string() + "/new");
    const auto loop = followLinks(d + "/loop");
    ASSERT_FALSE(loop);
    EXPECT_EQ(loop.failure().category, FailureCategory::BadPath);
    EXPECT_FALSE(followLinks(""));
}

// The kernel may move fewer bytes than asked on any read or write: the programs leave
// the same data files, logs and reports when every call moves only a few bytes.
TEST_F(StreamingTest, ReadsAndWritesCutShortLeaveTheSameFiles) {
    const Bytes mono = pcmWav(testSignal(2400));
    std::vector<std::int16_t> interleaved;
    for (const std::int16_t sample : testSignal(2400)) {
        interleaved.insert(interleaved.end(), {sample, static_cast<std::int16_t>(-sample / 2)});
    }
    const Bytes stereo =
        wavFile(join({formatChunkFor(1, 2, 8000, 16), chunk("data", sampleBytes(interleaved))}));
    const std::string commands[] = {
        QUEN_BINARY " /convert:in.wav Box Rec g711 out.c11 log11.txt",
        QUEN_BINARY " /convert:in.wav Box Rec g723 out.c23 log23.txt",
        QUEN_BINARY " /convert:stereo.wav Box Rec g711 bad.c11 bad.txt",
        QUEN_BINARY " >usage.txt",
        QUEN_TOOL_BINARY " inspect -q out.c11 --wav back.wav",
        QUEN_TOOL_BINARY " check stereo.wav >check.txt",
        QUEN_TOOL_BINARY " --json check in.wav >check.json",
    };
    std::map<std::string, Bytes> left[2];
    for (const bool cut : {false, true}) {
        const fs::path run = path(cut ? "cut" : "whole");
        fs::create_directories(run);
        writeBytes(run / "in.wav", mono);
        writeBytes(run / "stereo.wav", stereo);
        for (const std::string& command : commands) {
            shell("cd " + run.string() + " && " +
                  (cut ? "LD_PRELOAD=" QUEN_SHORT_TRANSFERS_SHIM
                         " ASAN_OPTIONS=verify_asan_link_order=0 "
                       : "") +
                  command);
        }
        for (const auto& entry : fs::directory_iterator(run)) {
            Bytes bytes = readBytes(entry.path());
            if (entry.path().extension().string().starts_with(".c")) {
                ASSERT_GE(bytes.size(), 214u) << entry.path();
                std::fill(bytes.begin() + 206, bytes.begin() + 210, 0);  // the record time
            }
            left[cut][entry.path().filename().string()] = std::move(bytes);
        }
    }
    EXPECT_EQ(left[0].size(), 11u);  // the recordings, and what the commands left
    for (const auto& [name, bytes] : left[0]) {
        EXPECT_EQ(left[1][name], bytes) << name;
    }
    EXPECT_EQ(left[1].size(), left[0].size());
}

TEST_F(StreamingTest, AFileReplacementShowsNothingUntilItsCommit) {
    writeText(path("out"), "old");
    const Bytes first{1, 2, 3, 4, 5};
    const Bytes second{6, 7};
    {
        FileReplacement dropped(path("out").string());
        const std::array<ByteSpan, 1> pieces{ByteSpan(first)};
        dropped.append(pieces);
    }
    EXPECT_EQ(readText(path("out")), "old");
    FileReplacement replacement(path("out").string());
    const std::array<ByteSpan, 2> pieces{ByteSpan(first), ByteSpan(second)};
    replacement.append(pieces);
    replacement.overwrite(1, ByteSpan(second));
    EXPECT_EQ(readText(path("out")), "old");
    EXPECT_TRUE(replacement.commit().ok());
    EXPECT_EQ(readBytes(path("out")), (Bytes{1, 6, 7, 4, 5, 6, 7}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 1);
}

TEST_F(StreamingTest, TheWavReaderGivesTheDataChunkInBlocksAndNoticesAShrunkFile) {
    const std::vector<std::int16_t> samples = testSignal(1001);
    const Bytes data = sampleBytes(samples);
    // A chunk before the data, and 6 bytes stated beyond the end of the file.
    writeBytes(path("in.wav"),
               wavFile(join({formatChunk(), chunk("LIST", {1, 2}), chunk("data", data, 2008)})));
    auto reader = WavReader::open(toWide(path("in.wav").string()));
    ASSERT_TRUE(reader);
    ASSERT_TRUE(reader->findSamples().ok());
    EXPECT_EQ(reader->sampleBytes(), data.size());
    Bytes read;
    Bytes block(333);
    while (const auto bytes = reader->readSamples(block)) {
        if (bytes->empty()) {
            break;
        }
        read.insert(read.end(), bytes->begin(), bytes->end());
    }
    EXPECT_EQ(read, data);

    // Cut short after the walk: the read that stops short is end of file, category 14.
    const std::u16string wav = toWide(path("in.wav").string());
    auto shrunk = WavReader::open(wav);
    ASSERT_TRUE(shrunk);
    ASSERT_TRUE(shrunk->findSamples().ok());
    ASSERT_EQ(::truncate(path("in.wav").c_str(), 100), 0);
    const auto cut = shrunk->readSamples(block);
    ASSERT_FALSE(cut);
    EXPECT_FALSE(cut.failure().refusal());
    EXPECT_EQ(cut.failure().category(), FailureCategory::EndOfFile);
    const std::vector<std::u16string> cutLines = loglines::recordingFailed(wav, cut.failure());
    EXPECT_EQ(cutLines,
              std::vector<std::u16string>{u"Can't open file \"" + wav + u"\", error = 14\n"});

    // Cut short before the walk: unreadable, not refused, so that no job adds its
    // "bad format" line after "Can't open file".
    writeBytes(path("in.wav"), wavFile(join({formatChunk(), chunk("data", data)})));
    auto unread = WavReader::open(wav);
    ASSERT_TRUE(unread);
    ASSERT_EQ(::truncate(path("in.wav").c_str(), 20), 0);
    const auto found = unread->findSamples();
    ASSERT_FALSE(found);
    EXPECT_FALSE(found.failure().refusal());
    EXPECT_EQ(found.failure().category(), FailureCategory::EndOfFile);
    EXPECT_EQ(loglines::recordingFailed(wav, found.failure()), cutLines);
}

}  // namespace
}  // namespace quen::test
