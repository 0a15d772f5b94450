// `quen` end to end. `inspect`: malformed data files give their one message and exit 1,
// recordings converted by QuenGreeting decode back to the source, `--json` carries the
// fields and the audio levels. `check` and `prepare` on the recordings people really
// have: each is refused by QuenGreeting, `quen check` shows QuenGreeting's own log lines
// and names the cause, and after `quen prepare` QuenGreeting converts it; bad inputs give
// one message, exit 1 and no output file; the prepared sound meets its targets by the
// test's own analysis and libebur128. The ffmpeg command makes the inputs, hand-made
// bytes the layouts that must be exact.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <numeric>
#include <regex>

#include "quen/inspect/InspectReport.h"
#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

constexpr double PI = 3.141592653589793;

// Each field of the JSON object `expected` has its value in `actual`.
void expectFields(const nlohmann::json& actual, const nlohmann::json& expected) {
    for (const auto& [key, value] : expected.items()) {
        EXPECT_EQ(actual[key], value) << key;
    }
}

// A greeting header (the mailbox name holding a lone surrogate) and 100 A-law bytes: one
// packet of two frames, the second partial (file offsets: packet header 214, payload
// 215..314); byte `at` set to `value` spoils it.
Bytes smallALawFile(std::size_t at, std::uint8_t value) {
    Bytes file = expectedDataFile(0x89, ExpectedHeader{u"A\xD800", u"rec"}, Bytes(100, 0xD5), 80);
    file[at] = value;
    return file;
}

// G.723.1 frames of 24 bytes, each opening with the byte given and zero after it.
Bytes g723Frames(const std::vector<std::uint8_t>& firstBytes) {
    Bytes stream(24 * firstBytes.size(), 0);
    for (std::size_t i = 0; i < firstBytes.size(); ++i) {
        stream[24 * i] = firstBytes[i];
    }
    return stream;
}

// A data file is read to the size it states: one that holds less is not inspected.
TEST_F(Quen, InspectRefusesAFileThatHoldsLessThanItsSize) {
    if (!std::filesystem::exists(SHORTER_THAN_STATED)) {
        GTEST_SKIP() << NO_SHORTER_FILE;
    }
    const ProgramResult result = tool(std::string("inspect ") + SHORTER_THAN_STATED);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.output, std::string(SHORTER_THAN_STATED) +
                                 ": error: cannot read: the read stopped short (category 14)\n");
}

TEST_F(Quen, InspectNamesTheFileAndTheProblemOfMalformedFiles) {
    ASSERT_EQ(shell("mkfifo fifo.cxx"), 0);  // a reader would block on it
    // The bytes of x.cxx, and the one line naming the file or, after "x.cxx: invalid",
    // the problem line, which ends the report. The files without bytes cannot be got at:
    // exit code 2; the others are invalid: 1.
    const std::pair<Bytes, std::string> cases[] = {
        {{}, "fifo.cxx: error: not a regular file but a pipe\n"},
        {{}, "missing.cxx: error: cannot open: No such file or directory\n"},
        {smallALawFile(5, 207), "x.cxx: error: header length at offset 5 is 207, not 208\n"},
        {smallALawFile(0, 0xFF),
         "  problem at offset 315: the file ends 4278190080 bytes before its total length "
         "4278190395\n"},
        {smallALawFile(214, 5),
         "  problem at offset 214: packet header says 6 frames (at least 401 bytes) but only "
         "100 bytes follow before the end\n"},
        {smallALawFile(214, 0),
         "  problem at offset 295: 20 bytes after the last packet (the packet at offset 214 "
         "holds 1 frame, so it must be the last)\n"},
        {expectedDataFile(0x8B, {u"box", u"rec"}, Bytes(30, 0), 24),
         "  problem at offset 239: G.723.1 stream ends in a part-frame of 6 bytes\n"},
        // The low two bits of a frame's first byte give its rate; the others are audio.
        {expectedDataFile(0x8B, {u"box", u"rec"}, g723Frames({0x06, 0xFD, 0xFC}), 24),
         "  problem at offset 239: G.723.1 frame is not a 6.3 kbit/s frame (rate bits 1)\n"},
    };
    for (const auto& [bytes, expected] : cases) {
        const bool problem = expected.starts_with("  ");
        writeBytes(path("x.cxx"), bytes);
        const ProgramResult result =
            tool("inspect " + (problem ? "x.cxx" : expected.substr(0, expected.find(':'))));
        EXPECT_EQ(result.exitCode, bytes.empty() ? 2 : 1) << expected;
        EXPECT_TRUE(result.output.starts_with(problem ? "x.cxx: invalid\n" : expected) &&
                    result.output.ends_with(expected))
            << expected << result.output;
    }
    // The boundary: a G.711 part-frame is legitimate audio. One loud sample, then A-law
    // silence, which decodes to 8; a lone surrogate is escaped. One document for all files.
    // 0xAA is 32256: -0.14 dBFS; RMS sqrt((32256^2 + 99 * 8^2) / 100): -20.14 dBFS. One
    // sample at the codec's full scale is a peak, not a clipped run.
    writeBytes(path("x.cxx"), smallALawFile(215, 0xAA));
    const ProgramResult json = tool("--json inspect x.cxx missing.cxx");
    EXPECT_EQ(json.exitCode, 2);
    const auto document = nlohmann::json::parse(json.output);
    EXPECT_EQ(document["files"][1]["error"], "cannot open: No such file or directory");
    expectFields(document["files"][0], R"({"valid": true, "packets": 1, "frames": 2,
        "file_size": 315, "total_length": 315, "total_length_matches_file_size": true,
        "mailbox_name": "A\\uD800", "texts_with_lone_surrogates": ["mailbox_name"],
        "record_time_utc": "1970-01-01 00:00:00 UTC", "duration_seconds": 0.0125})"_json);
    expectFields(document["files"][0]["audio"], R"({"samples": 100, "peak_dbfs": -0.14,
        "rms_dbfs": -20.14, "clipped_runs": 0, "leading_silence_seconds": 0.0,
        "trailing_silence_seconds": 0.012375, "undecodable_frames": 0})"_json);
    // Whole frames only, under 0x81, a code the system lists.
    writeBytes(path("whole.cxx"), expectedDataFile(0x81, {}, Bytes(160, 0xFF), 80));
    expectFields(nlohmann::json::parse(tool("--json inspect whole.cxx").output)["files"][0],
                 R"({"valid": true, "frames": 2, "listed_code": true})"_json);
    // Shown as text: UTF-8 on either side of its length borders; a control character escaped.
    writeBytes(path("t.cxx"), expectedDataFile(0x89, {u"\u07FF\u0800\U0001F600\x7F"}, {}, 80));
    EXPECT_NE(
        tool("inspect t.cxx")
            .output.find("  mailbox name        \"\xDF\xBF\xE0\xA0\x80\xF0\x9F\x98\x80\\u007F\"\n"),
        std::string::npos);
    EXPECT_NE(tool("inspect x.cxx").output.find("  mailbox name        \"A\\uD800\"\n"),
              std::string::npos);
    // The flash type's codec and kind of code; a flag of more than one letter has none.
    ExpectedHeader message{u"box", u"Ann"};
    message.internalFlag = {0x00, 'N', 0x00, 0x01};
    const std::string yes = "  internal flag       \"Y\" (00 59 00 00)\n";
    const std::tuple<Bytes, bool, std::string, std::string> kinds[] = {
        {expectedDataFile(0x89, {u"box", u"rec"}, {}, 80), true,
         "  flash type          0x89: A-law, greeting or message code\n"
         "  header length       208\n  mailbox name        \"box\"\n"
         "  recording name      \"rec\"\n",
         yes},
        {expectedDataFile(0xEA, message, {}, 80), false,
         "  flash type          0xEA: mu-law, message code, new-message bit set\n"
         "  header length       208\n  mailbox name        \"box\"\n"
         "  calling party       \"Ann\"\n",
         "  internal flag       no letter (00 4E 00 01)\n"},
        {expectedDataFile(0x07, {}, {}, 80), false,
         "  flash type          0x07: mu-law, unlisted message code, read as mu-law\n", yes},
    };
    for (const auto& [bytes, greeting, flash, flag] : kinds) {
        writeBytes(path("k.cxx"), bytes);
        const std::string text = tool("inspect k.cxx").output;
        EXPECT_NE(text.find(flash), std::string::npos) << text;
        EXPECT_NE(text.find(flag), std::string::npos) << text;
        const auto file = nlohmann::json::parse(tool("--json inspect k.cxx").output)["files"][0];
        EXPECT_EQ(file["greeting_code"], greeting);
    }
}

// The internal flag is a letter only as one printable UTF-16BE unit and a zero unit.
TEST(InspectReport, TheInternalFlagIsOnePrintableLetterAndAZeroUnitOrNone) {
    const std::pair<HeaderWord, nlohmann::json> rows[] = {
        {{0, 'Y', 0, 0}, "Y"},      {{0, ' ', 0, 0}, " "},      {{0, '~', 0, 0}, "~"},
        {{0, 0x1F, 0, 0}, nullptr}, {{0, 0x7F, 0, 0}, nullptr}, {{1, 'Y', 0, 0}, nullptr},
        {{0, 'Y', 1, 0}, nullptr},  {{0, 'Y', 0, 1}, nullptr},
    };
    for (const auto& [word, letter] : rows) {
        tool::InspectReport report;
        report.contents.internalFlag = word;
        EXPECT_EQ(tool::reportJson(report)["internal_flag"], letter) << letter;
    }
}

TEST_F(Quen, RecordingsComeBackThroughQuenGreetingAndInspectWav) {
    const std::string source = std::string(QUEN_SOURCE_DIR) + "/examples/greeting.wav";
    const std::vector<double> speech = samples(source);
    const std::pair<std::vector<std::string>, nlohmann::json> trips[] = {
        {{"/convertMsg:" + source, "4711", "Ann", "Call back", "ULAW", "Y", "N", "-1", "42",
          "out.cxx", "log.txt"},
         R"({"flash_type": 234, "header_length": 208, "new_message": true, "mailbox_name": "4711", "listen_time": 42,
             "recording_name_or_calling_party": "Ann", "display_string": "Call back",
             "internal_flag": "N", "record_time": -1})"_json},
        {{"/convert:" + source, "Sales", "MN_greeting", "g723", "out.cxx", "log.txt"},
         R"({"flash_type": 139, "header_length": 208, "codec": "G.723.1", "mailbox_name": "Sales",
             "recording_name_or_calling_party": "MN_greeting", "internal_flag": "Y"})"_json},
    };
    for (const auto& [convert, fields] : trips) {
        SCOPED_TRACE(fields.dump());
        ASSERT_EQ(run(convert).exitCode, 0);
        const ProgramResult result = tool("--json inspect out.cxx --wav out.wav -y");
        ASSERT_EQ(result.exitCode, 0) << errors();
        expectFields(nlohmann::json::parse(result.output)["files"][0], fields);
        const std::vector<double> decoded = samples("out.wav");
        // G.711 keeps the speech within 30 dB SNR, a correlation above 0.9995. G.723.1
        // gives 240 samples per whole 480-byte block and lags by the encoder's 60-sample
        // look-ahead; the first 300 ms settle it.
        const bool g711 = convert[4] == "ULAW";
        ASSERT_EQ(decoded.size(), g711 ? speech.size() : speech.size() / 240 * 240);
        const std::size_t from = g711 ? 0 : 2400, lag = g711 ? 0 : 60,
                          n = decoded.size() - from - lag;
        const double *in = speech.data() + from, *out = decoded.data() + from + lag;
        const auto dot = [n](const double* a, const double* b) {
            return std::inner_product(a, a + n, b, 0.0);
        };
        EXPECT_GT(dot(in, out) / std::sqrt(dot(in, in) * dot(out, out)), g711 ? 0.9995 : 0.9);
    }
}

TEST_F(Quen, EveryCommonRecordingIsExplainedThenPreparedAndConverted) {
    const Bytes data = chunk("data", sampleBytes(testSignal(8000)));
    // INFO, one 1-byte INAM entry: 13 bytes, then the pad byte.
    const Bytes oddList = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 1, 0, 0, 0, 'x'};
    const std::tuple<std::string, Bytes, std::string> cases[] = {
        // ffmpeg's options or hand-made bytes, and the start of the first cause shown.
        {"-ac 2", {}, "2 channels; QuenGreeting takes one"},
        {"-ar 8000 -c:a pcm_u8", {}, "8 bits per sample; QuenGreeting takes 16"},
        {"-ar 8000 -c:a pcm_mulaw", {}, "mu-law encoding (tag 7); QuenGreeting takes PCM only"},
        {"-c:a mp2 -f wav", {}, "MPEG encoding (tag 80); QuenGreeting takes PCM only"},
        {"-ar 8000 -c:a adpcm_ms", {}, "Microsoft ADPCM encoding (tag 2); QuenGreeting takes PCM"},
        {"-c:a libmp3lame -f wav", {}, "MPEG layer 3 encoding (tag 85); QuenGreeting takes PCM"},
        {"-ar 8000 -c:a pcm_f32le", {}, "extensible format header (sub-format IEEE float);"},
        {"-ar 8000 -rf64 always", {}, "RF64 container (64-bit sizes); QuenGreeting reads RIFF"},
        {"-ac 2 -f mp3", {}, "it is mp3 (MP2/3 (MPEG audio layer 2/3)), not a WAV file"},
        {"-ac 2 -c:a aac -f ipod", {}, "it is mov,mp4,m4a,3gp,3g2,mj2 (QuickTime / MOV), not"},
        // A phone's video: its sound is the second stream, behind the picture.
        {"-f lavfi -i color=s=32x32:d=1 -map 1:v -map 0:a -c:v mpeg4 -c:a aac -f mp4",
         {},
         "it is mov,mp4,m4a,3gp,3g2,mj2 (QuickTime / MOV), not"},
        {"", wavFile(join({chunk("JUNK", Bytes(28, 0)), formatChunk(), data})),
         "the \"JUNK\" chunk at offset 12 comes before the format chunk; QuenGreeting needs"},
        {"", wavFile(join({formatChunk(), chunk("LIST", oddList), {0}, data})),
         "the \"LIST\" chunk at offset 36 has an odd length (13) and a pad byte, which"},
    };
    for (const auto& [options, bytes, cause] : cases) {
        SCOPED_TRACE(cause);
        if (bytes.empty()) {
            ffmpeg("0.5*sin(2*PI*440*t)", 1, options + " in.wav");
        } else {
            writeBytes(path("in.wav"), bytes);
        }
        const auto [converterExit, refusal] = convert("in.wav");
        ASSERT_EQ(converterExit, 255);
        const ProgramResult check = tool("check in.wav");
        EXPECT_EQ(check.exitCode, 1);
        // RIFF and RF64 files (no other container starts with "R"): the size field, read
        // from "ds64" in RF64, is the right one.
        const Bytes in = readBytes(path("in.wav"));
        const std::string container(in.begin(), in.begin() + 4), size = std::to_string(in.size());
        const std::string sizes = "  container  " + container + " WAVE, " + size +
                                  " bytes (size field " + std::to_string(in.size() - 8) + ")\n";
        EXPECT_TRUE(check.output.starts_with("in.wav: refused\n" + (in[0] == 'R' ? sizes : "")))
            << check.output;
        EXPECT_NE(check.output.find("  QuenGreeting logs:\n" + refusal + "  cause      " + cause),
                  std::string::npos)
            << refusal << check.output;
        ASSERT_EQ(tool("prepare -y in.wav in-prepared.wav").exitCode, 0) << errors();
        // One second of sound, give or take the resampler's edges and the encoder delay that
        // AAC and MP3 in WAV add.
        EXPECT_NEAR(double(readBytes(path("in-prepared.wav")).size()), 16044, 800);
        EXPECT_EQ(convert("in-prepared.wav"), std::make_pair(0, std::string()));
        EXPECT_EQ(tool("check in-prepared.wav").exitCode, 0);
    }
}

TEST_F(Quen, BadInputGivesOneMessageAndUsageErrorsExitTwoWithNoOutput) {
    const std::tuple<std::string, Bytes, std::string> cases[] = {
        // The file, its bytes, and the start of what follows "quen prepare: FILE: ".
        {"missing.wav", {}, "No such file or directory\n"},
        {"notes.wav", Bytes(5, 'x'), "not a recording in any format known here (Invalid data"},
        {"empty.wav", pcmWav({}), "contains no audio samples\n"},
        {"fast.wav",
         wavFile(join({formatChunkFor(1, 1, 2000000, 16), chunk("data", Bytes(4000, 1))})),
         "sample rate 2000000 Hz, above the 384000 Hz read here\n"},
    };
    for (const auto& [file, bytes, message] : cases) {
        SCOPED_TRACE(file);
        if (!bytes.empty()) {
            writeBytes(path(file), bytes);
        }
        writeText(path("out.wav"), "an earlier file");
        const ProgramResult result = tool("prepare -y " + file + " out.wav");
        // A file that is not there is trouble, one that is of no use a problem.
        EXPECT_EQ(std::make_pair(result.exitCode, result.output),
                  std::make_pair(bytes.empty() ? 2 : 1, std::string()));
        EXPECT_TRUE(errors().starts_with("quen prepare: " + file + ": " + message)) << errors();
        EXPECT_EQ(errors().find('\n'), errors().size() - 1) << errors();
        EXPECT_EQ(readText(path("out.wav")), "an earlier file");
    }
    // Usage errors exit 2, before anything is written.
    for (const char* arguments :
         {"", "inspect x.cxx x.cxx --wav b.wav", "check", "check --template t.xml",
          "prepare notes.wav b.wav --loudness -20 --no-normalize",
          "prepare notes.wav b.wav --max-seconds 0", "help nothing"}) {
        EXPECT_EQ(tool(arguments).exitCode, 2) << arguments;
    }
    // No b.wav and no temporary file left: the inputs, out.wav and stderr.txt only.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir()), {}), 5);
}

// Fits a sine of exactly `frequency` (least squares) to the middle 1.8 s of the 8 kHz
// signal, away from the edges where the resampler's filter rings in; a whole number of
// cycles, so what the fit leaves is the energy beside it. The amplitude, and what is
// left beside the sine in dB relative to it.
std::pair<double, double> fitSine(const std::vector<double>& samples, double frequency) {
    const double n = 14400;
    double c = 0, s = 0, energy = 0;
    for (std::size_t i = 800; i < 15200 && i < samples.size(); ++i) {
        c += samples[i] * std::cos(2 * PI * frequency * double(i) / 8000) * 2 / n;
        s += samples[i] * std::sin(2 * PI * frequency * double(i) / 8000) * 2 / n;
        energy += samples[i] * samples[i] / n;
    }
    const double fitted = (c * c + s * s) / 2;
    return {std::sqrt(2 * fitted), 10 * std::log10((energy - fitted) / fitted)};
}

// The sound of prepared recordings, measured by the test's own sine fit and libebur128.
TEST_F(Quen, PreparedSoundMeetsItsTargets) {
    const auto [amplitude, residualDb] =
        fitSine(prepare("0.5*sin(2*PI*1000*t)", 2, "--no-normalize"), 1000);
    EXPECT_NEAR(amplitude, 0.5, 0.005);
    EXPECT_LT(residualDb, -60);
    // 6 kHz would fold back to 2 kHz; whatever is there must be 60 dB below the input.
    EXPECT_LT(fitSine(prepare("0.5*sin(2*PI*6000*t)", 2, "--no-normalize"), 2000).first, 0.0005);

    // Speech-like, about -40 dBm0: three partials under a syllable-rate envelope. The
    // default target is the active speech level; --loudness still levels by LUFS.
    const std::string quiet =
        "0.02*(0.5+0.5*sin(2*PI*3*t))*(sin(2*PI*220*t)+0.5*sin(2*PI*660*t)"
        "+0.25*sin(2*PI*1500*t))";
    prepare(quiet, 4);
    EXPECT_NEAR(report["output_levels"]["active_speech_level_dbm0"].get<double>(), -19.0, 0.1);
    EXPECT_EQ(report["limiter_reduction_db"], 0.0);
    EXPECT_EQ(report["target"], (nlohmann::json{{"kind", "speech_level"}, {"level_dbm0", -19.0}}));
    prepare(quiet, 4, "--loudness -16");
    EXPECT_NEAR(report["output_levels"]["loudness_lufs"].get<double>(), -16.0, 0.1);
    EXPECT_EQ(report["target"], (nlohmann::json{{"kind", "loudness"}, {"loudness_lufs", -16.0}}));
    prepare(quiet, 4, "--level -26");
    EXPECT_NEAR(report["output_levels"]["active_speech_level_dbm0"].get<double>(), -26.0, 0.1);
    // A lone full-scale click over a quiet tone: the limiter, not a smaller gain, keeps
    // the peak under the ceiling, so the level is reached all the same, and the depth of
    // that limiting is a finding.
    const std::vector<double> clicked =
        prepare("0.01*sin(0.1*n)+0.9*eq(n,44100)", 2, "--ceiling -6", 1);
    EXPECT_LT(report["limiter_reduction_db"].get<double>(), -6.0);
    EXPECT_EQ(report["output_findings"][0]["key"], "limiting");
    EXPECT_NEAR(report["output_levels"]["active_speech_level_dbm0"].get<double>(), -19.0, 0.5);
    EXPECT_LE(report["output_levels"]["true_peak_dbfs"].get<double>(), -6.0);
    EXPECT_LE(
        std::abs(*std::max_element(clicked.begin(), clicked.end(),
                                   [](double a, double b) { return std::abs(a) < std::abs(b); })),
        std::pow(10.0, -6.0 / 20));
    // Loud clicks over quiet speech carry most of its loudness: limiting them takes that
    // away, so the gain is raised again until the loudness asked for is reached.
    prepare(quiet + "+0.95*lt(mod(t,0.5),0.002)*sin(2*PI*1000*t)", 4, "--loudness -16", 1);
    EXPECT_LT(report["limiter_reduction_db"].get<double>(), -3.0);
    EXPECT_NEAR(report["output_levels"]["loudness_lufs"].get<double>(), -16.0, 0.1);

    // One second of sound between seconds of silence: trimmed to it and 0.2 s either side,
    // give or take the few milliseconds the DC filter rings on after an abrupt stop.
    const std::string tone = "0.3*sin(2*PI*440*t)";
    EXPECT_NEAR(double(prepare(tone + "*gte(t,1)*lt(t,2)", 3, "--trim-silence").size()), 11200, 40);
    // Sound to the end: nothing is trimmed there, not even a sample.
    const std::size_t kept = prepare(tone + "*gte(t,1)", 2, "--trim-silence").size();
    EXPECT_EQ(report["trimmed_trailing_seconds"], 0.0);
    EXPECT_EQ(kept, 16000 - std::lround(report["trimmed_leading_seconds"].get<double>() * 8000));
    const std::vector<double> cut = prepare(tone, 1, "--max-seconds 0.5 --no-normalize");
    ASSERT_EQ(cut.size(), 4000u);
    EXPECT_LT(std::abs(cut.back()), 2.0 / 32768);
}

}  // namespace
}  // namespace quen::test
