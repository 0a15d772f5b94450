// The converter's single jobs as a caller meets them: command lines that start no job,
// the batch pre-checks, greeting and message files byte for byte for every accepted
// layout of a recording, failed jobs, which log their lines, exit with 255, keep an
// earlier data file and leave no file behind; and a caller that stops reading or closed
// standard output.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "codec/CodecModule.h"
#include "tests/TestFiles.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace fs = std::filesystem;
namespace {

using namespace std::string_literals;

class ConverterTest : public TempDirTest {
  protected:
    std::ptrdiff_t entryCount() const {
        return std::distance(fs::directory_iterator(dir()), fs::directory_iterator());
    }

    // The plain recording of `four` with bytes changed; the format fields start at 20.
    Bytes patched(std::initializer_list<std::pair<std::size_t, std::uint8_t>> changes) const {
        Bytes file = wavFile(join({fmt, data}));
        for (const auto& [offset, value] : changes) {
            file[offset] = value;
        }
        return file;
    }

    // in.wav; a RIFF size of 256 MiB or more gets a sparse file as long as it states.
    void writeRecording(const Bytes& file) const {
        writeBytes(path("in.wav"), file);
        const std::uint32_t riffSize = file[4] | file[5] << 8 | file[6] << 16 | file[7] << 24;
        if (riffSize >= 1U << 28) {
            ASSERT_EQ(::truncate(path("in.wav").c_str(), riffSize + 8LL), 0);
        }
    }

    const std::vector<std::int16_t> four{1, -2, 300, -32768};
    const Bytes fmt = formatChunk();
    const Bytes data = chunk("data", sampleBytes(four));
    const Bytes list = chunk("LIST", {'I', 'N', 'F', 'O', 1, 2, 3, 4});
};

const std::string USAGE =
    "Invalid switch. Command line must be as follows:\n\n"
    "QuenGreeting /convert:filename.wav  mailboxName  recordingName  format  filename.cxx  "
    "errors.txt\n\n"
    "QuenGreeting /convertMsg:filename.wav  mailboxName  callingParty  displayString  format  "
    "newMsg(Y/N)  Internal(Y/N)  recordTimeInLong  listenTimeInLong  filename.cxx  "
    "errors.txt\n\n"
    "QuenGreeting /batch1:AA-template.xml wav-file-directory result-directory errors.txt\n\n"
    "QuenGreeting /batch2:AA-template.xml wav-file-directory result-directory errors.txt\n";

const std::string NO_LOG = "Failed to open the errorlog file <no-dir/log.txt>\n";

TEST_F(ConverterTest, CommandLinesThatStartNoJobPrintOneTextAndCreateNothing) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{}, USAGE},
        // A message command with one operand too few is not a greeting.
        {{"/convertMsg:a.wav", "box", "caller", "text", "g711", "log.txt"}, USAGE},
        {{"/convert:a.wav", "b", "c", "t", "g711", "Y", "N", "1", "2", "o.cxx", "log.txt"}, USAGE},
        // An empty log operand is refused before anything else.
        {{"/convert:a.wav", "box", "rec", "g711", "out.cxx", ""}, USAGE},
        {{"/convert:a.wav", "box", "rec", "g711", "out.cxx", "no-dir/log.txt"}, NO_LOG},
        // The template and directories are not even looked at.
        {{"/batch1:", "", "", "no-dir/log.txt"}, NO_LOG},
        // The path is printed as given, never used as a format.
        {{"/batch2:t.xml", "w", "r", "%s%n/\xFF.txt"},
         "Failed to open the errorlog file <%s%n/\xFF.txt>\n"},
    };
    for (const auto& [arguments, output] : rows) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments.back());
        const ProgramResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 255);
        EXPECT_EQ(result.output, output);
        EXPECT_TRUE(std::filesystem::is_empty(dir()));
    }
    // Also when the job would convert.
    writeBytes(path("a.wav"), pcmWav(testSignal(800)));
    const ProgramResult emptyLog = run({"/convert:a.wav", "box", "rec", "g711", "out.cxx", ""});
    EXPECT_EQ(emptyLog.exitCode, 255);
    EXPECT_EQ(emptyLog.output, USAGE);
    EXPECT_FALSE(std::filesystem::exists(path("out.cxx")));
    // A log another run holds locked is neither written nor emptied.
    writeText(path("log.txt"), "first run\r\n");
    const ProgramResult locked =
        runBinary("flock", {"log.txt", QUEN_BINARY, "/batch1:t.xml", "w", "o", "log.txt"}, dir());
    EXPECT_EQ(locked.exitCode, 255);
    EXPECT_EQ(locked.output, "Failed to open the errorlog file <log.txt>\n");
    EXPECT_EQ(readText(path("log.txt")), "first run\r\n");
}

// A template that holds less than its size states is read as far as it goes: the
// number and newline in it are no document.
TEST_F(ConverterTest, ATemplateThatHoldsLessThanItsSizeIsReadAsFarAsItGoes) {
    if (!fs::exists(SHORTER_THAN_STATED)) {
        GTEST_SKIP() << NO_SHORTER_FILE;
    }
    fs::create_directories(path("wav"));
    fs::create_directories(path("out"));
    const ProgramResult result = run({"/batch1:"s + SHORTER_THAN_STATED, "wav", "out", "log.txt"});
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(readText(path("log.txt")),
              "Failed to read the file \""s + SHORTER_THAN_STATED +
                  "\" \ndue to \"No document element found at line 2, column 1\"\r\n");
}

TEST_F(ConverterTest, BatchPreChecksAndTemplatesThatNeverEndWriteTheirLogLine) {
    std::filesystem::create_directories(path("wav/sub"));
    std::filesystem::create_directory(path("out"));
    writeText(path("t.xml"), "<zandorConfiguration/>");
    ASSERT_EQ(::mkfifo(path("pipe.xml").c_str(), 0600), 0);
    writeText(path("huge.xml"), "");
    ASSERT_EQ(::truncate(path("huge.xml").c_str(), 10'000'000'000), 0);  // sparse
    const auto unread = [](const std::string& file, const std::string& reason) {
        return "Failed to read the file \"" + file + "\" \ndue to \"" + reason + "\"\r\n";
    };
    const std::string noWav = "The wav-file-directory (";
    const std::string noTemplate = "Error opening the AA-template.xml file\r\n";
    const std::string noResults = "The results-directory doesn't exit\r\n";
    // The first three operands and the log, which is empty exactly when the run succeeds.
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"/batch1:missing.xml", "wav", "out"}, noTemplate},
        {{"/batch1:t.xml", "nowav", "out"}, noWav + "nowav) doesn't exit\r\n"},
        {{"/batch1:t.xml", "", "out"}, noWav + ") doesn't exit\r\n"},
        {{"/batch1:t.xml", "t.xml", "out"}, noWav + "t.xml) doesn't exit\r\n"},
        {{"/batch2:t.xml", "wav", "noout"}, noResults},
        // Backslashes are separators: wav\sub is the directory wav/sub, and it is
        // shown as given.
        {{"/batch2:t.xml", "wav\\sub\\", "noout"}, noResults},
        {{"/batch2:t.xml", "wav\\nosub", "out"}, noWav + "wav\\nosub) doesn't exit\r\n"},
        {{"/batch1:/dev/zero", "wav", "out"}, unread("/dev/zero", "not a regular file")},
        {{"/batch1:pipe.xml", "wav", "out"}, unread("pipe.xml", "not a regular file")},
        {{"/batch1:huge.xml", "wav", "out"}, unread("huge.xml", "the file is larger than 256 MiB")},
        // Patterns and a trailing separator pass; the template holds no attendants.
        {{"/batch1:t.xml", "wa*", "out/"}, ""},
    };
    for (auto [arguments, log] : rows) {
        SCOPED_TRACE(arguments[0] + " " + arguments[1] + " " + arguments[2]);
        arguments.push_back("log.txt");
        const ProgramResult result = run(arguments);
        EXPECT_EQ(result.exitCode, log.empty() ? 0 : 255);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(readText(path("log.txt")), log);
    }
}

// G.711 greetings of every accepted layout and format word but one, and a G.723.1
// greeting, whose frames are those the ffmpeg command makes with the same encoder.
TEST_F(ConverterTest, GreetingsOfEveryAcceptedLayoutAreALawForEveryFormatWordButG723) {
    // 333 frames, in two full 3072-byte packets and one of 77 frames; the last 160
    // bytes are dropped.
    const Bytes long723 = pcmWav(testSignal(333 * 240 + 80));
    writeBytes(path("x.wav"), long723);
    ASSERT_EQ(shell("ffmpeg -v error -i x.wav -c:a g723_1 -b:a 6300 -f g723_1 frames.bin"), 0);
    Bytes frames = readBytes(path("frames.bin"));
    frames.resize(333 * 24);  // ffmpeg pads the last part-block into a frame
    fs::remove(path("x.wav"));
    fs::remove(path("frames.bin"));
    // Format word, recording, the stream expected in the data file.
    const std::tuple<std::string, Bytes, Bytes> rows[] = {
        // 16 MiB of samples: 1638 full packets of 128 frames and one of 52, a total
        // length of 2^24 or more.
        {"g711", pcmWav(testSignal(1 << 24)), g711Stream(testSignal(1 << 24))},
        {"g723", long723, frames},
        // The largest RIFF size (2^31 - 1), over a sparse file that long.
        {"ulaw", wavFile(join({fmt, data}), 0x7FFFFFFF), g711Stream(four)},
        {"ulaw", wavFile(join({formatChunk(2), data})), g711Stream(four)},
        // No pad byte after an odd-length chunk; bytes after the RIFF chunk are ignored.
        {"u-law", join({wavFile(join({fmt, chunk("note", {1, 2, 3}), list, data})), {7}}),
         g711Stream(four)},
        // A data length beyond the file is cut to the bytes present.
        {"G723 ", wavFile(join({formatChunk(36), chunk("data", sampleBytes(four), 999)})),
         g711Stream(four)},
        // A wrong byte rate; a data length of two samples and a byte.
        {"", patched({{28, 0x12}, {40, 5}}), g711Stream({1, -2})},
        // A data header as the last 8 bytes of the RIFF chunk, its samples beyond it.
        {"g7231", join({wavFile(join({fmt, chunk("data", {}, 6)})), {9, 9, 9, 9}}),
         g711Stream({2313, 2313})},
        {"ｇ723", wavFile(join({fmt, chunk("data", {})})), {}},
    };
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
    writeText(path("out.cxx"), "old");
    fs::permissions(path("out.cxx"), mode);
    // The record time is stamped during the run by the clock read here.
    const auto now = [] {
        return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    };
    for (const auto& [format, file, stream] : rows) {
        SCOPED_TRACE(format);
        writeRecording(file);
        const std::time_t started = now();
        const ProgramResult result =
            run({"/convert:in.wav", "Front Desk", "Welcome", format, "out.cxx", "log.txt"});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(readText(path("log.txt")), "Creating data file - \"out.cxx\"\r\n");
        const Bytes written = readBytes(path("out.cxx"));
        ExpectedHeader header{u"Front Desk", u"Welcome"};
        header.recordTime = bigEndian32At(written, 206);
        const bool g723 = format == "g723";
        const Bytes expected = expectedDataFile(g723 ? 0x8B : 0x89, header, stream, g723 ? 24 : 80);
        // Files too large to print: where they part is enough.
        EXPECT_TRUE(written == expected)
            << written.size() << " bytes, not " << expected.size() << "; first difference at "
            << std::mismatch(written.begin(), written.end(), expected.begin(), expected.end())
                       .first -
                   written.begin();
        EXPECT_TRUE(started <= header.recordTime && header.recordTime <= now());
    }
    EXPECT_EQ(fs::status(path("out.cxx")).permissions(), mode);
    EXPECT_EQ(entryCount(), 3) << "a file was left behind";
}

// A job that fails: what in.wav holds, the log after the "Creating" line, the command
// with the data file that follows it, and the standard output.
struct Failure {
    Bytes wav;
    std::string log;
    std::string command = "./QuenGreeting /convert:in.wav a b g711";
    std::string out = "old.cxx";
    std::string output = "";
};

TEST_F(ConverterTest, FailedJobsLogTheirLinesAndKeepTheEarlierFile) {
    fs::create_directory(path("d.cxx"));
    writeText(path("old.cxx"), "old");
    // link0 -> link1 -> ... -> link40 -> old.cxx: 41 links from link0, 40 from link1.
    for (int i = 0; i <= 40; ++i) {
        fs::create_symlink(i == 40 ? "old.cxx" : "link" + std::to_string(i + 1) + ".cxx",
                           path("link" + std::to_string(i) + ".cxx"));
    }
    fs::create_symlink("loop.cxx", path("loop.cxx"));
    // A copy of the program with no codec module beside it cannot open a G.723.1 stream.
    fs::copy_file(QUEN_BINARY, path("QuenGreeting"));
    const auto cantOpen = [](const std::string& file, int category) {
        return "Can't open file \"" + file + "\", error = " + std::to_string(category) + "\n\r\n";
    };
    const auto bad = [](const std::string& message) {
        return "Bad \".wav\" file format. " + message +
               "\r\nCompression of \"in.wav\" file failed on bad format.\r\n";
    };
    const std::string noFmt = bad(" Did not find \"fmt\" (format) section.");
    const std::string fmtLength = bad(" Length of \"format\" sub-chunk is incorrect.");
    const std::string noData = bad(" Did not find \"data\" section.");
    const std::string g723Message = "./QuenGreeting /convertMsg:in.wav 1001 '' '' g723 Y N 12 0";
    const Bytes plain = patched({});
    std::vector<Failure> cases = {
        {Bytes(plain.begin(), plain.begin() + 11), "Invalid file format\r\n"},  // 11 bytes
        {patched({{3, 'X'}}), "Invalid file format\r\n"},                       // RIFX
        {wavFile(join({fmt, data}), 45), "RIFF length is incorrect\r\n"},  // one beyond the file
        // Refused before the diagnostic line is printed.
        {wavFile(join({fmt, data}), 3), "RIFF length is incorrect\r\n", g723Message},
        // 2^31 over a sparse file that long.
        {wavFile(join({fmt, data}), 0x80000000), "RIFF length is incorrect\r\n"},
        {wavFile(join({fmt, data}), 4), noFmt},       // an empty body
        {wavFile(join({list, fmt, data})), noFmt},    // the fmt chunk is never searched for
        {patched({{12, 'F'}}), noFmt},                // "Fmt "
        {wavFile(join({fmt, data}), 27), fmtLength},  // the format fields cut short
        {wavFile({'f', 'm', 't', ' '}), fmtLength},   // "fmt " and nothing after it
        {patched({{16, 15}}), fmtLength},
        {patched({{16, 53}}), fmtLength},
        // Two channels of float: the channels are checked first.
        {patched({{20, 3}, {22, 2}}), bad(" Cannot process multi-channel data.")},
        {patched({{20, 3}}), bad("File not in PCM/Uncompressed format.")},
        {patched({{24, 0x41}}), bad(" Sample rate not 8000 samples/sec.")},
        {patched({{34, 8}}), bad(" Sample size not 16 bits.")},  // 8 bits in 2-byte blocks
        {patched({{32, 4}}), bad(" Sample size not 16 bits.")},  // 16 bits in 4-byte blocks
        {wavFile(fmt), noData},
        // After a skipped chunk, a data header as the last 8 bytes is not examined.
        {wavFile(join({fmt, list, chunk("data", {})})), noData},
        // A chunk length that would wrap a 32-bit position around.
        {wavFile(join({fmt, chunk("LIST", {}, 0xFFFFFFF8), data})), noData},
        {wavFile(join({fmt, list, data}), 4 + 24 + 16), noData},  // data beyond the RIFF size
        {plain, cantOpen("/quen-missing.wav", 2),
         "./QuenGreeting /convert:/quen-missing.wav a b g711"},
        {plain, cantOpen("no/in.wav", 3), "./QuenGreeting /convert:no/in.wav a b g711"},
        {plain, cantOpen("d.cxx/in.wav", 2), "./QuenGreeting /convert:d.cxx/in.wav a b g711"},
        {plain, cantOpen("d.cxx", 5), "./QuenGreeting /convert:d.cxx a b g711"},
        {plain, cantOpen("gone/out.cxx", 3), Failure{}.command, "gone/out.cxx"},
        {plain, cantOpen("d.cxx", 5), Failure{}.command, "d.cxx"},
        {plain, cantOpen("loop.cxx", 3), Failure{}.command, "loop.cxx"},
        {plain, cantOpen("link0.cxx", 3), Failure{}.command, "link0.cxx"},
        // The run's own log is held locked while the job runs.
        {plain, cantOpen("log.txt", 11), Failure{}.command, "log.txt"},
        // Under a file size limit of one block a write fails with EFBIG instead of ending the
        // program.
        {pcmWav(testSignal(12000)), cantOpen("old.cxx", 1), "ulimit -f 1 && " + Failure{}.command},
    };
    if (!fs::exists(codecModuleCandidates().back())) {
        cases.push_back(
            {plain,
             "Could not open Codec for Windows ACM stream.  Error code = 512.\r\n"
             "Compression of \"in.wav\" file failed on bad format.\r\n",
             g723Message, "old.cxx",
             "quenFlashType = 0xeb, cpType = 0x8b, seconds = 12, internalFlag = \0N\0\0"s});
    }
    writeRecording(plain);
    writeText(path("stdout.txt"), "");
    writeText(path("log.txt"), "");
    const std::ptrdiff_t entries = entryCount();
    for (const Failure& c : cases) {
        SCOPED_TRACE(c.command + " " + c.out + ": " + c.log);
        writeRecording(c.wav);
        EXPECT_EQ(shell(c.command + " " + c.out + " log.txt >stdout.txt"), 255);
        EXPECT_EQ(readText(path("stdout.txt")), c.output);
        EXPECT_EQ(readText(path("log.txt")), "Creating data file - \"" + c.out + "\"\r\n" + c.log);
        EXPECT_EQ(readText(path("old.cxx")), "old");
        EXPECT_EQ(entryCount(), entries) << "a file was left behind";
    }
    writeRecording(plain);
    ASSERT_EQ(shell("./QuenGreeting /convert:in.wav a b g711 link1.cxx log.txt"), 0);
    EXPECT_TRUE(fs::is_symlink(path("link40.cxx")));
    EXPECT_EQ(readBytes(path("old.cxx")).size(), 214u + 1 + four.size());
}

TEST_F(ConverterTest, MessagesOfEveryFormatWordWithTextsCutToTheirFields) {
    const std::vector<std::int16_t> samples = testSignal(2400);
    writeBytes(path("in.wav"), pcmWav(samples));
    // Each text is one code unit too long: the mailbox loses its last letter, the calling
    // party a surrogate pair the cut would split, the display the letter after a pair.
    const std::string pair = "\xF0\x9F\x98\x80";
    ExpectedHeader header{u"1001" + std::u16string(28, u'm'), u"€" + std::u16string(30, u'x'),
                          std::u16string(30, u'd') + u"\U0001F600"};
    // Format, new, internal, record time, listen time, flash type, diagnostic line.
    const std::tuple<std::string, std::string, std::string, int, int, int, std::string> rows[] = {
        {"ulaw", "N", "Y", -5, -1, 0x8A,
         "quenFlashType = 0x8a, cpType = 0x8a, seconds = -5, internalFlag = \0Y\0\0"s},
        {"G711", "y", "true", 0, 7, 0xE9,
         "quenFlashType = 0xe9, cpType = 0x89, seconds = 0, internalFlag = \0Y\0\0"s},
        {"U-LAW", "TRUE", "n", 1, 2, 0xEA,
         "quenFlashType = 0xea, cpType = 0x8a, seconds = 1, internalFlag = \0N\0\0"s},
    };
    const mode_t umask = ::umask(022);
    for (const auto& [format, isNew, internal, recordTime, listenTime, flashType, line] : rows) {
        SCOPED_TRACE(format + " " + isNew);
        const ProgramResult result = run(
            {"/convertMsg:in.wav", "1001" + std::string(29, 'm'), "€" + std::string(30, 'x') + pair,
             std::string(30, 'd') + pair + "z", format, isNew, internal, std::to_string(recordTime),
             std::to_string(listenTime), "msg.cxx", "log.txt"});
        ASSERT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output, line);
        EXPECT_EQ(readText(path("log.txt")), "Creating data file - \"msg.cxx\"\r\n");
        header.internalFlag = {0x00, static_cast<std::uint8_t>(line.end()[-3]), 0, 0};
        header.recordTime = recordTime;
        header.listenTime = listenTime;
        const Bytes written = readBytes(path("msg.cxx"));
        const bool muLaw = line.find("cpType = 0x8a") != std::string::npos;
        EXPECT_EQ(written, expectedDataFile(static_cast<std::uint8_t>(flashType), header,
                                            g711Stream(samples, muLaw), 80));
    }
    ::umask(umask);
    // A new data file gets 0666 less the umask.
    EXPECT_EQ(fs::status(path("msg.cxx")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
}

// The recording is read, compressed and written in blocks: 100 MB of samples convert
// in 60 MB of address space, libraries included.
TEST_F(ConverterTest, RecordingsLargerThanTheAddressSpaceConvert) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit";
#endif
    constexpr std::uint32_t samples = 100'000'000;
    writeRecording(wavFile(join({fmt, chunk("data", {}, samples)}), samples + 36));
    ASSERT_EQ(::truncate(path("in.wav").c_str(), samples + 44LL), 0);
    ASSERT_EQ(
        shell("ulimit -v 60000 && "s + QUEN_BINARY + " /convert:in.wav a b g711 out.cxx log.txt"),
        0);
    EXPECT_EQ(readText(path("log.txt")), "Creating data file - \"out.cxx\"\r\n");
    // Silence in full packets of 10240 bytes and one of 8320, each behind its byte.
    const std::uint64_t packets = samples / 2 / 10240 + 1;
    EXPECT_EQ(fs::file_size(path("out.cxx")), 214 + samples / 2 + packets);
}

// The recording is read and closed before the data file is made, so a data file may
// replace its own recording, however the two paths are spelled.
TEST_F(ConverterTest, DataFilesReplaceTheirOwnRecording) {
    const std::vector<std::int16_t> samples = testSignal(1000);
    // Job operands before the data file, the data file, expected flash type and header.
    const std::tuple<std::vector<std::string>, std::string, std::uint8_t, ExpectedHeader> rows[] = {
        {{"/convertMsg:g.wav", "Box", "Caller", "Display", "ulaw", "Y", "N", "5", "6"},
         "g.wav",
         0xEA,
         {u"Box", u"Caller", u"Display", {0, 0, 0, 0}, {0x00, 'N', 0x00, 0x00}, 5, 6}},
        {{"/convertMsg:g.wav", "Box", "Caller", "Display", "ulaw", "N", "Y", "-1", "0"},
         "./g.wav",
         0x8A,
         {u"Box", u"Caller", u"Display", {0, 0, 0, 0}, {0x00, 'Y', 0x00, 0x00}, -1, 0}},
        {{"/convert:./g.wav", "Box", "Welcome", "g711"}, "g.wav", 0x89, {u"Box", u"Welcome"}},
    };
    for (auto [operands, outFile, flashType, header] : rows) {
        SCOPED_TRACE(operands[0] + " " + outFile);
        writeBytes(path("g.wav"), pcmWav(samples));
        operands.insert(operands.end(), {outFile, "log.txt"});
        const ProgramResult result = run(operands);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(readText(path("log.txt")), "Creating data file - \"" + outFile + "\"\r\n");
        const Bytes written = readBytes(path("g.wav"));
        if (flashType == 0x89) {
            header.recordTime = bigEndian32At(written, 206);
        }
        EXPECT_EQ(written, expectedDataFile(
                               flashType, header,
                               g711Stream(samples, flashType == 0x8A || flashType == 0xEA), 80));
    }
}

TEST_F(ConverterTest, StandardStreamsThatFailNeverStopTheJobNorLandInTheLog) {
    writeBytes(path("w.wav"), pcmWav(testSignal(800)));
    const std::string message =
        QUEN_BINARY + " /convertMsg:w.wav B C D g711 Y Y 1 2 sp.cxx spl.txt"s;
    // The command, then the exit code it writes to code.txt. The reader is gone before the
    // first write; standard output and error, or input, closed outright; the usage text
    // and the log-failure message fail the same quiet way.
    const std::pair<std::string, std::string> rows[] = {
        {"{ sleep 0.3; " + message + "; echo $? >code.txt; } | true", "0\n"},
        {message + " >&- 2>&-; echo $? >code.txt", "0\n"},
        {message + " >out.txt 0<&-; echo $? >code.txt", "0\n"},
        {"{ sleep 0.3; "s + QUEN_BINARY + "; echo $? >code.txt; } | true", "255\n"},
        {"{ sleep 0.3; "s + QUEN_BINARY +
             " /convert:w.wav a b g711 x.cxx no/log.txt; echo $? >code.txt; } | true",
         "255\n"},
    };
    for (const auto& [command, code] : rows) {
        fs::remove(path("sp.cxx"));
        writeText(path("spl.txt"), "");
        shell(command);
        EXPECT_EQ(readText(path("code.txt")), code) << command;
        EXPECT_EQ(readText(path("spl.txt")),
                  code == "0\n" ? "Creating data file - \"sp.cxx\"\r\n" : "");
        EXPECT_EQ(fs::exists(path("sp.cxx")), code == "0\n");
    }
    EXPECT_EQ(readText(path("out.txt")),
              "quenFlashType = 0xe9, cpType = 0x89, seconds = 1, internalFlag = \0Y\0\0"s);
}

// The message job's diagnostic line only repeats what the caller gave; the job's
// result is its data file and its log. A full standard output loses the line and
// nothing else: the same data file and log and exit code 0, as a caller that trusts the
// exit code must see for a message that was converted; a job that fails still exits
// with 255.
TEST_F(ConverterTest, AFullStandardOutputLeavesTheMessageJobsResultAsItIs) {
    writeBytes(path("w.wav"), pcmWav(testSignal(800)));
    const std::string message = QUEN_BINARY + " /convertMsg:w.wav B C D g711 Y Y 1 2 "s;
    ASSERT_EQ(shell(message + "seen.cxx seen.txt >out.txt"), 0);
    EXPECT_EQ(shell(message + "full.cxx full.txt >/dev/full"), 0);
    EXPECT_EQ(readBytes(path("full.cxx")), readBytes(path("seen.cxx")));
    EXPECT_EQ(readText(path("full.txt")), "Creating data file - \"full.cxx\"\r\n");
    EXPECT_EQ(
        shell(QUEN_BINARY + " /convertMsg:none.wav B C D g711 Y Y 1 2 x.cxx x.txt >/dev/full"s),
        255);
    EXPECT_NE(readText(path("x.txt")).find("none.wav"), std::string::npos)
        << readText(path("x.txt"));
    EXPECT_FALSE(fs::exists(path("x.cxx")));
}

}  // namespace
}  // namespace quen::test
