// `quen` and the recordings it is given, which come from outside: a path is a path,
// not a URL; only a regular file holding an ordinary recording is read, and nothing it
// refers to; what a header claims costs nothing; NaN and infinity are refused; the
// process copes with a file-size limit and a full standard output; `inspect` reads a
// data file's preamble before the rest. Each refusal ends with one message, exit 1 and
// no output file; a pipe answers at once (the fixture's runs have a timeout, so that a
// regression fails instead of hanging).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

// A canonical 44-byte WAV header for `data` bytes of `bits`-bit mono PCM (tag 1) or
// float (tag 3) at `rate`, then `data`.
Bytes wavWith(std::uint16_t tag, std::uint32_t rate, std::uint16_t bits, const Bytes& data) {
    return wavFile(join({formatChunkFor(tag, 1, rate, bits), chunk("data", data)}));
}

// One second of a 440 Hz float tone at 8000 Hz whose samples 100 and 200 are NaN and
// infinity.
Bytes floatWavWithNonFinite() {
    std::vector<float> samples(8000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = 0.5F * static_cast<float>(std::sin(2 * 3.141592653589793 * 440 * i / 8000));
    }
    samples[100] = std::numeric_limits<float>::quiet_NaN();
    samples[200] = std::numeric_limits<float>::infinity();
    Bytes data(samples.size() * 4);
    std::memcpy(data.data(), samples.data(), data.size());
    return wavWith(3, 8000, 32, data);
}

class QuenMediaInput : public Quen {
  protected:
    // A 3-second 440 Hz tone at 8000 Hz in tone.wav; other files refer to it.
    void makeTone() const {
        ASSERT_EQ(shell("ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=8000:d=3 tone.wav"),
                  0);
    }
};

TEST_F(QuenMediaInput, AnythingButAnOrdinaryRecordingInARegularFileIsRefusedAndNothingWritten) {
    makeTone();
    const std::string tone = path("tone.wav").string();
    writeText(path("private.txt"), "the private text of another user\n");
    std::filesystem::permissions(path("private.txt"), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::owner_write);
    // A header for 8-bit PCM whose data is whatever follows it (the text, with concat:).
    writeBytes(path("hdr.wav"), wavWith(1, 8000, 8, Bytes(0)));
    const std::string playlist =
        "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:3.0,\n" + tone + "\n#EXT-X-ENDLIST\n";
    for (const char* name : {"innocent.wav", "innocent.mp3", "innocent"}) {
        writeText(path(name), playlist);
    }
    // No end tag: a live playlist, which would be polled for more.
    writeText(path("live.wav"), "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:3.0,\n" + tone + "\n");
    writeText(path("list.wav"), "ffconcat version 1.0\nfile tone.wav\n");
    ASSERT_EQ(shell("mkfifo fifo.wav && mkdir dir.wav"), 0);
    ASSERT_EQ(shell("ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=16000:d=1 claim.flac"),
              0);
    // STREAMINFO's 36-bit total-samples field (bytes 21 to 25) set to 2^36-1.
    Bytes flac = readBytes(path("claim.flac"));
    flac[21] |= 0x0F;
    std::fill(flac.begin() + 22, flac.begin() + 26, 0xFF);
    writeBytes(path("claim.flac"), flac);
    // 20 KB at 1 Hz: five and a half hours of output from almost nothing.
    writeBytes(path("bomb.wav"), wavWith(1, 1, 8, Bytes(20000, 0x80)));
    writeBytes(path("nan.wav"), floatWavWithNonFinite());

    const std::string hls = "not a recording this program reads: it is hls (";
    const std::string absent = "No such file or directory\n";
    const struct {
        std::string in;
        std::string message;  // the start of what follows "quen prepare: IN: "
        bool probed;          // quen check finds it too, without decoding
        int exitCode;         // 2 for a file that cannot be got at, 1 for one of no use
    } cases[] = {
        {"innocent.wav", hls, true, 1},
        {"innocent.mp3", hls, true, 1},
        {"innocent", hls, true, 1},
        {"live.wav", hls, true, 1},
        {"list.wav", "not a recording this program reads: it is concat (", true, 1},
        {"concat:hdr.wav|private.txt", absent, true, 2},
        {"file:" + tone, absent, true, 2},
        {"subfile,,start,0,end,0,,:" + tone, absent, true, 2},
        {"pipe:0", absent, true, 2},
        {"data:audio/wav;base64,UklGRiQAAABXQVZF", absent, true, 2},
        {"http://127.0.0.1:9/tone.wav", absent, true, 2},
        {"tcp://127.0.0.1:9", absent, true, 2},
        {"fifo.wav", "not a recording file but a pipe; quen reads regular files only\n", true, 2},
        {"dir.wav", "not a recording file but a directory; quen reads regular files only\n", true,
         2},
        {"/dev/zero", "not a recording file but a device; quen reads regular files only\n", true,
         2},
        // A regular file whose every read fails.
        {"/proc/self/mem", "Input/output error\n", true, 2},
        {"claim.flac", "truncated: holds 1.00 s of the ", false, 1},
        {"bomb.wav", "sample rate 1 Hz, below the 4000 Hz of speech\n", true, 1},
        {"nan.wav", "holds 2 samples that are not a finite number (NaN or infinity)\n", false, 1},
    };
    for (const auto& [in, message, probed, exitCode] : cases) {
        SCOPED_TRACE(in);
        const ProgramResult result = tool("prepare -y '" + in + "' out.wav");
        EXPECT_EQ(std::make_pair(result.exitCode, result.output),
                  std::make_pair(exitCode, std::string()));
        EXPECT_TRUE(errors().starts_with("quen prepare: " + in + ": " + message)) << errors();
        EXPECT_EQ(errors().find('\n'), errors().size() - 1) << errors();
        EXPECT_FALSE(std::filesystem::exists(path("out.wav")));
        if (probed) {
            const ProgramResult check = tool("--json check '" + in + "'");
            EXPECT_EQ(check.exitCode, exitCode) << errors();
            const auto file = nlohmann::json::parse(check.output, nullptr, false)["files"][0];
            // A path that names no file is an error of its own, before any reading.
            const std::string error = file.value("error", "cannot open: ");
            const std::string said =
                file.value("reads_as_error", error.substr(error.find(": ") + 2));
            EXPECT_TRUE(
                said.starts_with(message.substr(0, message.size() - (message.back() == '\n'))))
                << check.output;
        }
    }
    // Nothing was written beside the inputs, no temporary file either.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir()), {}), 14);
}

TEST_F(QuenMediaInput, EveryAllowedContainerIsRead) {
    // One second of a tone at 16 kHz in each container and a codec it usually holds; the
    // MP4 family has its index at the end, so reading it needs the seek callback.
    const std::pair<const char*, const char*> files[] = {
        {"wav", "pcm_s16le"},  {"rf64.wav", "pcm_s24le -rf64 always"},
        {"w64", "pcm_f32le"},  {"mp3", "libmp3lame"},
        {"flac", "flac"},      {"ogg", "libvorbis"},
        {"opus", "libopus"},   {"m4a", "aac"},
        {"mp4", "alac"},       {"mov", "pcm_s16be"},
        {"aiff", "pcm_s16be"}, {"caf", "pcm_s16le"},
    };
    for (const auto& [extension, codec] : files) {
        SCOPED_TRACE(extension);
        const std::string in = std::string("in.") + extension;
        ASSERT_EQ(shell("ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=16000:d=1 -c:a " +
                        std::string(codec) + " " + in),
                  0);
        const ProgramResult result = tool("--json prepare -y " + in + " out.wav");
        ASSERT_EQ(result.exitCode, 0) << errors();
        // Encoder delay and padding may add or take a frame; edit lists, which would cut
        // AAC's priming off, are not followed.
        EXPECT_NEAR(static_cast<double>(samples("out.wav").size()), 8000, 800);
    }
}

// The constant sounds here have no speech, which prepare writes only when allowed.
TEST_F(QuenMediaInput, RatesAndChannelCountsAreReadUpToTheirLimitsAndRefusedBeyond) {
    const Bytes second(8000, 0x90);
    writeBytes(path("4000.wav"), wavWith(1, 4000, 8, second));
    writeBytes(path("3999.wav"), wavWith(1, 3999, 8, second));
    EXPECT_EQ(tool("prepare -y --allow-silence 4000.wav out.wav").exitCode, 0) << errors();
    EXPECT_EQ(samples("out.wav").size(), 16000U);
    EXPECT_EQ(tool("prepare -y 3999.wav out3999.wav").exitCode, 1);
    EXPECT_EQ(errors(),
              "quen prepare: 3999.wav: sample rate 3999 Hz, below the 4000 Hz of speech\n");
    // The highest rate a recording may have, and one more.
    // A tenth of a second of it ends before the DC filter has settled: read, written, and
    // found to hold an offset still.
    for (const std::uint32_t rate : {384000, 384001}) {
        writeBytes(path("fast.wav"), wavWith(1, rate, 8, Bytes(rate / 10, 0x90)));
        std::filesystem::remove(path("out.wav"));
        EXPECT_EQ(tool("prepare -y --allow-silence fast.wav out.wav").exitCode, 1);
        EXPECT_EQ(std::filesystem::exists(path("out.wav")), rate == 384000);
    }
    EXPECT_EQ(errors(),
              "quen prepare: fast.wav: sample rate 384001 Hz, above the 384000 Hz read "
              "here\n");
    // The most channels a recording may have, and one more.
    for (const std::uint16_t channels : {8, 9}) {
        writeBytes(path("many.wav"), wavFile(join({formatChunkFor(1, channels, 8000, 8),
                                                   chunk("data", Bytes(800 * channels, 0x90))})));
        EXPECT_EQ(tool("prepare -y --allow-silence many.wav out.wav").exitCode,
                  channels == 8 ? 0 : 1);
    }
    EXPECT_EQ(errors(), "quen prepare: many.wav: 9 channels, more than the 8 read here\n");
}

TEST_F(QuenMediaInput, NonFiniteSamplesAreCountedPerChannelValue) {
    // Stereo doubles, 1.5 s: each channel's value counts, both channels of frame 10
    // and one of frame 20.
    std::vector<double> values(2 * 12000, 0.25);
    values[20] = std::numeric_limits<double>::quiet_NaN();
    values[21] = -std::numeric_limits<double>::infinity();
    values[41] = std::numeric_limits<double>::infinity();
    Bytes data(values.size() * 8);
    std::memcpy(data.data(), values.data(), data.size());
    writeBytes(path("doubles.wav"),
               wavFile(join({formatChunkFor(3, 2, 8000, 64), chunk("data", data)})));
    EXPECT_EQ(tool("prepare -y doubles.wav out.wav").exitCode, 1);
    EXPECT_EQ(errors(),
              "quen prepare: doubles.wav: holds 3 samples that are not a finite number "
              "(NaN or infinity)\n");
    // The clean version of the same file goes through.
    values[20] = values[21] = values[41] = 0.25;
    std::memcpy(data.data(), values.data(), data.size());
    writeBytes(path("doubles.wav"),
               wavFile(join({formatChunkFor(3, 2, 8000, 64), chunk("data", data)})));
    EXPECT_EQ(tool("prepare -y --allow-silence doubles.wav out.wav").exitCode, 0) << errors();
}

// A compressed stream may fall short of its stated length by half a second (or 2 %)
// and still be whole: one second of FLAC stating 1.5 s is taken, stating one sample more
// it is truncated.
TEST_F(QuenMediaInput, AStreamShortOfItsStatedLengthByTheToleranceIsWhole) {
    ASSERT_EQ(shell("ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=8000:d=1 s.flac"), 0);
    const Bytes flac = readBytes(path("s.flac"));
    for (const std::uint32_t stated : {12000u, 12001u}) {
        SCOPED_TRACE(stated);
        // STREAMINFO's total-samples field, its low 32 bits at bytes 22 to 25.
        Bytes claim = flac;
        claim[21] &= 0xF0;
        for (int k = 0; k < 4; ++k) {
            claim[22 + k] = static_cast<std::uint8_t>(stated >> (24 - 8 * k));
        }
        writeBytes(path("claim.flac"), claim);
        const ProgramResult result = tool("prepare -y claim.flac out.wav");
        if (stated == 12000) {
            EXPECT_EQ(result.exitCode, 0) << errors();
        } else {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_EQ(errors(),
                      "quen prepare: claim.flac: truncated: holds 1.00 s of the 1.50 s "
                      "its header states\n");
        }
    }
}

TEST_F(QuenMediaInput, MaxSecondsCutsAtItsBoundaryAndNotBefore) {
    // 8-bit PCM at 8000 Hz: 0x90 and 0x70 in turn, 1/8 of full scale at 4 kHz, kept as
    // it is (a constant would be taken away as DC).
    Bytes second;
    for (int i = 0; i < 4000; ++i) {
        second.insert(second.end(), {0x90, 0x70});
    }
    writeBytes(path("one.wav"), wavWith(1, 8000, 8, second));
    writeBytes(path("two.wav"), wavWith(1, 8000, 8, join({second, second})));
    const struct {
        const char* file;
        const char* limit;
        std::size_t length;
        double cut;
        bool fades;
    } cases[] = {
        {"one.wav", "1", 8000, 0.0, false},  // exactly at the limit: nothing cut
        {"one.wav", "2", 8000, 0.0, false},
        {"two.wav", "1", 8000, 1.0, true},  // the rest is unread but counted
        {"two.wav", "1.5", 12000, 0.5, true},
    };
    for (const auto& [file, limit, length, cut, fades] : cases) {
        SCOPED_TRACE(std::string(file) + " " + limit);
        const ProgramResult result = tool(std::string("--json prepare -y --no-normalize ") + file +
                                          " out.wav --max-seconds " + limit);
        ASSERT_EQ(result.exitCode, 0) << errors();
        const std::vector<double> output = samples("out.wav");
        ASSERT_EQ(output.size(), length);
        EXPECT_DOUBLE_EQ(nlohmann::json::parse(result.output)["cut_seconds"].get<double>(), cut);
        // The last sample fades to silence only where something was cut.
        EXPECT_EQ(std::abs(output.back()) < 0.01, fades) << output.back();
    }
}

TEST_F(QuenMediaInput, APathThatLooksLikeAUrlIsStillTheFileOfThatName) {
    makeTone();
    std::filesystem::create_directory(path("file:"));
    std::filesystem::copy_file(path("tone.wav"), path("file:/tone.wav"));
    const ProgramResult result = tool("prepare -y file:/tone.wav out.wav");
    EXPECT_EQ(result.exitCode, 0) << errors();
    EXPECT_EQ(samples("out.wav").size(), 24000U);
}

TEST_F(QuenMediaInput, APipeAsATemplatesRecordingIsCheckedAtOnce) {
    ASSERT_EQ(shell("mkfifo hello.wav"), 0);
    writeText(path("t.xml"), configuration(attendant("Desk", greeting("morning", "hello.wav"))));
    const ProgramResult result = tool("--json check --template t.xml --wav-dir .");
    ASSERT_EQ(result.exitCode, 1) << errors();
    const auto greeting = nlohmann::json::parse(result.output)["greetings"][0];
    EXPECT_TRUE(greeting["exists"]);
    EXPECT_FALSE(greeting["recording"]["accepted"]);
}

TEST_F(QuenMediaInput, TheCutOfMaxSecondsHappensWhileDecodingAndWhatFollowsIsNeverRead) {
    // Ten seconds of MP3 cut off after five: the end is never reached with a limit.
    ffmpeg("0.5*sin(2*PI*440*t)", 10, "whole.mp3");
    Bytes half = readBytes(path("whole.mp3"));
    half.resize(half.size() / 2);
    writeBytes(path("half.mp3"), half);
    ASSERT_EQ(tool("prepare -y half.mp3 out.wav").exitCode, 1);
    EXPECT_TRUE(errors().starts_with("quen prepare: half.mp3: truncated: holds ")) << errors();
    const ProgramResult result = tool("--json prepare -y half.mp3 out.wav --max-seconds 1");
    ASSERT_EQ(result.exitCode, 0) << errors();
    EXPECT_EQ(samples("out.wav").size(), 8000U);
    // The cut is told from the length the file states.
    EXPECT_NEAR(nlohmann::json::parse(result.output)["cut_seconds"].get<double>(), 9.0, 0.1);
}

TEST_F(QuenMediaInput, NonFiniteOptionsAreUsageErrors) {
    makeTone();
    for (const char* options :
         {"--loudness nan", "--loudness -inf", "--loudness inf", "--max-seconds nan",
          "--max-seconds inf", "--max-seconds 1e9", "--max-seconds 1x", "--level nan", "--level 3",
          "--ceiling inf", "--ceiling 0.5"}) {
        SCOPED_TRACE(options);
        const ProgramResult result = tool("prepare -y tone.wav out.wav " + std::string(options));
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(errors().find(": must be "), std::string::npos) << errors();
        EXPECT_FALSE(std::filesystem::exists(path("out.wav")));
    }
}

TEST_F(QuenMediaInput, AFileSizeLimitOrAFullStandardOutputIsAMessageAndExitTwo) {
    makeTone();
    // 40 KB allowed: the 48 KB output cannot be written.
    EXPECT_EQ(shell("(ulimit -f 80; " QUEN_TOOL_BINARY
                    " prepare tone.wav big.wav 2>stderr.txt; test $? = 2)"),
              0);
    EXPECT_EQ(errors(), "quen prepare: big.wav: cannot write: File too large (category 1)\n");
    EXPECT_FALSE(std::filesystem::exists(path("big.wav")));
    // Only the input and the message: no temporary file was left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir()), {}), 2);

    for (const char* command : {"prepare tone.wav out.wav", "check tone.wav", "--help"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(tool(std::string(command) + " >/dev/full").exitCode, 2);
        EXPECT_EQ(errors(),
                  "quen: cannot write the report to standard output: No space left on device\n");
    }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST_F(QuenMediaInput, RunningOutOfMemoryIsAMessageAndExitTwo) {
    // An hour of 16-bit samples (sparse) in 250 MB of address space: its 115 MB of
    // decoded floats do not fit beside the libraries (about 190 MB of mappings), while
    // the decoding child, which holds a few frames, fits.
    constexpr std::uint32_t HOUR_BYTES = 8000 * 2 * 3600;
    writeBytes(path("hour.wav"),
               wavFile(join({formatChunkFor(1, 1, 8000, 16), chunk("data", {}, HOUR_BYTES)}),
                       36 + HOUR_BYTES));
    std::filesystem::resize_file(path("hour.wav"), 44 + HOUR_BYTES);
    EXPECT_EQ(shell("(ulimit -v 250000; " QUEN_TOOL_BINARY
                    " prepare hour.wav out.wav 2>stderr.txt; test $? = 2)"),
              0);
    EXPECT_EQ(errors(), "quen: out of memory\n");
    EXPECT_FALSE(std::filesystem::exists(path("out.wav")));
}
#endif

TEST_F(QuenMediaInput, InspectReadsThePreambleBeforeTheRestOfTheFile) {
    // A sparse gigabyte whose header-length byte (offset 5) is wrong: refused after
    // reading its preamble, which reading the whole file would show as a gigabyte of
    // memory.
    ASSERT_EQ(shell("truncate -s 1G big.c11"), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int out = ::open(path("stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::chdir(dir().c_str()) == 0 && out >= 0 && ::dup2(out, STDOUT_FILENO) >= 0) {
            ::execl(QUEN_TOOL_BINARY, QUEN_TOOL_BINARY, "inspect", "big.c11", nullptr);
        }
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_NE(readText(path("stdout.txt")).find("big.c11: error: header length at offset 5 is 0"),
              std::string::npos)
        << readText(path("stdout.txt"));
    EXPECT_LT(usage.ru_maxrss, 256 * 1024) << "KB at most";
}

}  // namespace
}  // namespace quen::test
