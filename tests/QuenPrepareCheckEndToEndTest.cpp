// `quen check` and `quen prepare` end to end on the recordings people really have:
// each is refused by QuenGreeting, `quen check` shows QuenGreeting's own log lines and
// names the cause, and after `quen prepare` QuenGreeting converts it. Bad inputs give
// one message, exit 1 and no output file; a template check agrees with real batch runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "audio/G711Encoder.h"
#include "tests/EncodedAudioWriter.h"
#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

constexpr double PI = 3.141592653589793;

// One second of a 440 Hz tone at half scale, interleaved over `channels`.
std::vector<double> tone(int sampleRate, int channels) {
    std::vector<double> samples;
    for (int i = 0; i < sampleRate; ++i) {
        const double value = 0.5 * std::sin(2 * PI * 440 * i / sampleRate);
        samples.insert(samples.end(), static_cast<std::size_t>(channels), value);
    }
    return samples;
}

Bytes pcm16(const std::vector<double>& samples) {
    std::vector<std::int16_t> shorts;
    for (const double value : samples) {
        shorts.push_back(static_cast<std::int16_t>(std::lround(value * 32767)));
    }
    return sampleBytes(shorts);
}

Bytes wavOf(const Bytes& format, const Bytes& data) {
    return wavFile(join({format, chunk("data", data)}));
}

class QuenPrepareCheck : public TempDirTest {
  protected:
    // `quen`, with standard error kept in "stderr.txt".
    ProgramResult tool(const std::vector<std::string>& arguments) const {
        std::vector<std::string> shell{"-c", "exec \"$0\" \"$@\" 2>stderr.txt", QUEN_TOOL_BINARY};
        shell.insert(shell.end(), arguments.begin(), arguments.end());
        return runBinary("/bin/sh", shell, dir());
    }
    std::string errors() const { return readText(path("stderr.txt")); }

    // What QuenGreeting logs for a greeting conversion of `wav` after the "Creating
    // data file" line, one entry per CR LF.
    std::vector<std::string> converterLog(const std::string& wav, int& exitCode) const {
        exitCode = run({"/convert:" + wav, "Box", "Rec", "alaw", "out.c11", "log.txt"}).exitCode;
        std::vector<std::string> lines;
        std::string text = readText(path("log.txt"));
        for (std::size_t end; (end = text.find("\r\n")) != std::string::npos;) {
            lines.push_back(text.substr(0, end));
            text.erase(0, end + 2);
        }
        if (!lines.empty()) {
            lines.erase(lines.begin());
        }
        return lines;
    }
};

TEST_F(QuenPrepareCheck, EveryCommonRecordingIsExplainedThenPreparedAndConverted) {
    const std::vector<double> mono8k = tone(8000, 1);
    Bytes eightBit;
    Bytes muLaw;
    Bytes floats;
    for (const double value : mono8k) {
        eightBit.push_back(static_cast<std::uint8_t>(std::lround(value * 127) + 128));
        muLaw.push_back(linearToMuLaw(static_cast<std::int16_t>(std::lround(value * 32767))));
        const auto single = static_cast<float>(value);
        std::uint8_t bytes[4];
        std::memcpy(bytes, &single, 4);
        floats.insert(floats.end(), bytes, bytes + 4);
    }
    // cbSize 22, 16 valid bits, front centre, then the PCM sub-format GUID.
    const Bytes extensible = join({{22, 0, 16, 0},
                                   littleEndian32(4),
                                   {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                    0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}});
    const Bytes data8k = pcm16(mono8k);
    const Bytes rf64Sizes =
        join({littleEndian32(36 + 28 + 8 + static_cast<std::uint32_t>(data8k.size())),
              littleEndian32(0), littleEndian32(static_cast<std::uint32_t>(data8k.size())),
              littleEndian32(0), littleEndian32(8000), littleEndian32(0), littleEndian32(0)});
    const Bytes rf64 = join({{'R', 'F', '6', '4'},
                             littleEndian32(0xFFFFFFFF),
                             {'W', 'A', 'V', 'E'},
                             chunk("ds64", rf64Sizes),
                             formatChunk(),
                             chunk("data", data8k, 0xFFFFFFFF)});
    // INFO, one 1-byte INAM entry: 13 bytes, then the pad byte.
    const Bytes oddList =
        join({{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M'}, littleEndian32(1), {'x'}});

    struct Case {
        const char* what;
        Bytes file;  // empty: an MP3 made by the encoder
        std::string cause;
    };
    const std::vector<Case> cases{
        {"44.1 kHz stereo", wavOf(formatChunkFor(1, 2, 44100, 16), pcm16(tone(44100, 2))),
         "2 channels; QuenGreeting takes one"},
        {"48 kHz mono", wavOf(formatChunkFor(1, 1, 48000, 16), pcm16(tone(48000, 1))),
         "48000 samples/s; QuenGreeting takes 8000 only"},
        {"8-bit", wavOf(formatChunkFor(1, 1, 8000, 8), eightBit),
         "8 bits per sample; QuenGreeting takes 16"},
        {"mu-law", wavOf(formatChunkFor(7, 1, 8000, 8, {0, 0}), muLaw),
         "mu-law encoding (tag 7); QuenGreeting takes PCM only"},
        {"32-bit float", wavOf(formatChunkFor(3, 1, 8000, 32), floats),
         "IEEE float encoding (tag 3); QuenGreeting takes PCM only"},
        {"extensible 8 kHz 16-bit mono",
         wavOf(formatChunkFor(0xFFFE, 1, 8000, 16, extensible), data8k),
         "extensible format header (sub-format PCM); QuenGreeting takes only the plain PCM tag"},
        {"JUNK before fmt",
         wavFile(join({chunk("JUNK", Bytes(28, 0)), formatChunk(), chunk("data", data8k)})),
         "the \"JUNK\" chunk at offset 12 comes before the format chunk; QuenGreeting needs the "
         "format chunk first"},
        {"odd padded LIST",
         wavFile(join({formatChunk(), chunk("LIST", oddList), {0}, chunk("data", data8k)})),
         "the \"LIST\" chunk at offset 36 has an odd length (13) and a pad byte, which "
         "QuenGreeting "
         "does not skip"},
        {"RF64", rf64, "RF64 container (64-bit sizes); QuenGreeting reads RIFF only"},
        {"MP3 renamed .wav", {}, "it is mp3 (MP2/3 (MPEG audio layer 2/3)), not a WAV file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.file.empty()) {
            std::vector<float> stereo;
            for (const double value : tone(44100, 2)) {
                stereo.push_back(static_cast<float>(value));
            }
            writeMp3(path("in.wav"), stereo, 44100, 2);
        } else {
            writeBytes(path("in.wav"), c.file);
        }
        int converterExit = 0;
        const std::vector<std::string> refusal = converterLog("in.wav", converterExit);
        ASSERT_EQ(converterExit, 255);
        ASSERT_FALSE(refusal.empty());

        const ProgramResult check = tool({"check", "in.wav"});
        EXPECT_EQ(check.exitCode, 1);
        std::string expected = "in.wav: refused\n";
        EXPECT_EQ(check.output.rfind(expected, 0), 0u) << check.output;
        std::string logged = "  QuenGreeting logs:\n";
        for (const std::string& line : refusal) {
            logged += "    " + line + "\n";
        }
        EXPECT_NE(check.output.find(logged), std::string::npos) << check.output;
        EXPECT_NE(check.output.find("  cause      " + c.cause + "\n"), std::string::npos)
            << check.output;
        EXPECT_NE(check.output.find("  fix        quen prepare in.wav in-prepared.wav\n"),
                  std::string::npos);

        ASSERT_EQ(tool({"prepare", "in.wav", "in-prepared.wav"}).exitCode, 0) << errors();
        const Bytes prepared = readBytes(path("in-prepared.wav"));
        // One second of sound, give or take the resampler's edges.
        EXPECT_NEAR(static_cast<double>(prepared.size()), 44 + 16000, 16000 * 0.02);
        EXPECT_TRUE(converterLog("in-prepared.wav", converterExit).empty());
        EXPECT_EQ(converterExit, 0);
        const ProgramResult recheck = tool({"check", "in-prepared.wav"});
        EXPECT_EQ(recheck.exitCode, 0) << recheck.output;
        EXPECT_NE(recheck.output.find("A-law or mu-law " +
                                      std::to_string(readBytes(path("out.c11")).size()) + " bytes"),
                  std::string::npos)
            << recheck.output;
    }
}

TEST_F(QuenPrepareCheck, BadInputGivesOneMessageNamingTheFileAndNoOutput) {
    std::vector<float> sound(44100 * 3, 0.25f);
    for (std::size_t i = 0; i < sound.size(); ++i) {
        sound[i] = static_cast<float>(0.25 * std::sin(0.05 * static_cast<double>(i)));
    }
    writeMp3(path("whole.mp3"), sound, 44100, 1);
    Bytes half = readBytes(path("whole.mp3"));
    half.resize(half.size() / 2);
    writeBytes(path("truncated.mp3"), half);
    writeText(path("notes.wav"), "not a recording\n");
    writeBytes(path("empty.wav"), pcmWav({}));
    writeBytes(path("no-channels.wav"), wavOf(formatChunkFor(1, 0, 8000, 16), Bytes(100, 1)));
    writeBytes(path("no-rate.wav"), wavOf(formatChunkFor(1, 1, 0, 16), Bytes(100, 1)));
    writeBytes(path("fast.wav"), wavOf(formatChunkFor(1, 1, 2000000, 16), Bytes(4000, 1)));
    writeBytes(path("wide.wav"), wavOf(formatChunkFor(1, 99, 8000, 16), Bytes(19800, 1)));
    std::filesystem::create_directory(path("folder.wav"));

    struct Case {
        std::string file;
        std::string message;  // after "quen prepare: FILE: "; empty: checked below
    };
    const std::vector<Case> cases{
        {"missing.wav", "No such file or directory"},
        {"folder.wav", "Is a directory"},
        {"notes.wav",
         "not a recording in any format known here (Invalid data found when "
         "processing input)"},
        {"truncated.mp3", ""},
        {"empty.wav", "contains no audio samples"},
        {"fast.wav", "impossible sample rate 2000000 Hz"},
        {"wide.wav", "impossible channel count 99"},
        {"no-channels.wav", "no audio stream (WAV / WAVE (Waveform Audio))"},
        {"no-rate.wav",
         "not a recording in any format known here (Invalid data found when "
         "processing input)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        writeText(path("out.wav"), "an earlier file");
        const ProgramResult result = tool({"prepare", c.file, "out.wav"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, "");
        const std::string prefix = "quen prepare: " + c.file + ": ";
        const std::string message = errors();
        EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
        if (!c.message.empty()) {
            EXPECT_EQ(message, prefix + c.message + "\n");
        }
        EXPECT_EQ(readText(path("out.wav")), "an earlier file");
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir())) {
        EXPECT_EQ(entry.path().filename().string().find(".quen-"), std::string::npos);
    }
    const std::string truncatedPrefix = "quen prepare: truncated.mp3: truncated: holds ";
    tool({"prepare", "truncated.mp3", "out.wav"});
    EXPECT_EQ(errors().rfind(truncatedPrefix, 0), 0u) << errors();
}

TEST_F(QuenPrepareCheck, OtherContainersArePreparedAndConverted) {
    std::vector<float> stereo;
    for (const double value : tone(44100, 2)) {
        stereo.push_back(static_cast<float>(value));
    }
    struct Case {
        const char* file;
        const char* encoder;
        const char* muxer;
    };
    for (const Case& c : {Case{"in.m4a", "aac", "ipod"}, Case{"in.ogg", "libvorbis", "ogg"},
                          Case{"in.flac", "flac", "flac"}}) {
        SCOPED_TRACE(c.file);
        writeEncodedAudio(path(c.file), stereo, 44100, 2, c.encoder, c.muxer);
        ASSERT_EQ(tool({"prepare", c.file, "out.wav"}).exitCode, 0) << errors();
        // AAC adds its encoder's priming, 1024 samples at 44.1 kHz.
        EXPECT_NEAR(static_cast<double>(readBytes(path("out.wav")).size()), 44 + 16000,
                    16000 * 0.03);
        int converterExit = 0;
        EXPECT_TRUE(converterLog("out.wav", converterExit).empty());
        EXPECT_EQ(converterExit, 0);
    }
}

TEST_F(QuenPrepareCheck, UsageErrorsExitTwo) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"check"},
             {"check", "a.wav", "--template", "t.xml", "--wav-dir", "."},
             {"check", "--template", "t.xml"},
             {"check", "--template", "t.xml", "--wav-dir", ".", "--mode", "3"},
             {"prepare", "a.wav"},
             {"prepare", "a.wav", "b.wav", "--loudness", "-20", "--no-normalize"},
             {"prepare", "a.wav", "b.wav", "--max-seconds", "0"}}) {
        SCOPED_TRACE(arguments.size());
        EXPECT_EQ(tool(arguments).exitCode, 2);
        EXPECT_FALSE(std::filesystem::exists(path("b.wav")));
    }
}

// The files a real batch run writes are exactly those the check names for greetings it
// reaches with an accepted recording, in each mode; the run ends where the check says.
TEST_F(QuenPrepareCheck, TemplateCheckAgreesWithRealBatchRuns) {
    std::filesystem::create_directory(path("rec"));
    writeBytes(path("rec/ok.wav"), pcmWav(testSignal(800)));
    writeBytes(path("rec/other.wav"), pcmWav(testSignal(900)));
    writeBytes(path("rec/stereo.wav"), wavOf(formatChunkFor(1, 2, 8000, 16), Bytes(400, 1)));
    const std::string longName(27, 'n');
    writeBytes(path("rec/" + longName + ".wav"), pcmWav(testSignal(100)));
    writeText(path("aa.xml"),
              "<zandorConfiguration><AutoAttendants>"
              "<AutoAttendant><AAName>Main</AAName><Greetings>"
              "<Greeting id=\"morning\"><RecordingName>ok.wav</RecordingName></Greeting>"
              "<Greeting id=\"holiday\"><RecordingName>other.wav</RecordingName></Greeting>"
              "<Greeting id=\"evening\"><RecordingName></RecordingName></Greeting>"
              "<Greeting id=\"menu\"><RecordingName>stereo.wav</RecordingName></Greeting>"
              "<Greeting id=\"morning\"><RecordingName>other.wav</RecordingName></Greeting>"
              "<Greeting id=\"afternoon\"><RecordingName>" +
                  longName +
                  ".wav</RecordingName></Greeting>"
                  "<Greeting id=\"evening\"><RecordingName>gone.wav</RecordingName></Greeting>"
                  "<Greeting id=\"menu\"><RecordingName>ok.wav</RecordingName></Greeting>"
                  "</Greetings></AutoAttendant></AutoAttendants></zandorConfiguration>");
    const ProgramResult check = tool(
        {"--json", "check", "--template", "aa.xml", "--wav-dir", "rec", "--result-dir", "out"});
    EXPECT_EQ(check.exitCode, 1);
    const auto report = nlohmann::json::parse(check.output);
    ASSERT_EQ(report["greetings"].size(), 8u);
    EXPECT_EQ(report["greetings"][2]["skipped"], true);
    EXPECT_EQ(report["greetings"][1]["kind"], "");
    EXPECT_FALSE(report["greetings"][3]["recording"]["accepted"]);

    for (const int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        std::filesystem::remove_all(path("out"));
        std::filesystem::create_directory(path("out"));
        std::set<std::string> expected;
        for (const auto& greeting : report["greetings"]) {
            // A skipped greeting is planned in no mode.
            if (greeting["skipped"]) {
                continue;
            }
            const auto& names = greeting["modes"].at(static_cast<std::size_t>(mode - 1));
            if (names["reached"] && names["ends_run"].is_null() && greeting["exists"] &&
                greeting["recording"]["accepted"]) {
                expected.insert(names["g723_file"].get<std::string>());
                expected.insert(names["g711_file"].get<std::string>());
            }
        }
        run({"/batch" + std::to_string(mode) + ":aa.xml", "rec", "out", "log.txt"});
        std::set<std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(path("out"))) {
            written.insert("out/" + entry.path().filename().string());
        }
        EXPECT_EQ(written, expected);
    }
    // Mode 1 ends at the missing recording, mode 2 at the long name before it.
    EXPECT_EQ(report["greetings"][6]["modes"][0]["reached"], true);
    EXPECT_EQ(report["greetings"][7]["modes"][0]["reached"], false);
    EXPECT_FALSE(report["greetings"][5]["modes"][1]["ends_run"].is_null());
    EXPECT_EQ(report["greetings"][6]["modes"][1]["reached"], false);
    const auto& duplicate = report["greetings"][4]["problems"];
    EXPECT_NE(duplicate.dump().find("writes the same data files as greeting 1"), std::string::npos)
        << duplicate.dump();

    writeText(path("broken.xml"), "<zandorConfiguration><AutoAttendants>");
    const ProgramResult broken = tool({"check", "--template", "broken.xml", "--wav-dir", "rec"});
    EXPECT_EQ(broken.exitCode, 1);
    run({"/batch1:broken.xml", "rec", "out", "log.txt"});
    std::string logged = readText(path("log.txt"));
    logged = logged.substr(0, logged.find('\n'));
    EXPECT_NE(broken.output.find("QuenGreeting logs: " + logged.substr(0, logged.size())),
              std::string::npos)
        << broken.output;
}

}  // namespace
}  // namespace quen::test
