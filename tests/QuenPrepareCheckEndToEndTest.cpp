// `quen check` and `quen prepare` end to end on the recordings people really have: each
// is refused by QuenGreeting, `quen check` shows QuenGreeting's own log lines and names
// the cause, and after `quen prepare` QuenGreeting converts it. Bad inputs give one
// message, exit 1 and no output file; a template check agrees with real batch runs; the
// prepared sound meets its targets by the test's own analysis and libebur128. The ffmpeg
// command makes the inputs, hand-made bytes the layouts that must be exact.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <set>

#include "tests/TestSupport.h"
#include "tests/WavBuilder.h"

namespace quen::test {
namespace {

constexpr double PI = 3.141592653589793;

Bytes pcmLayout(std::uint16_t channels, std::uint32_t sampleRate, std::size_t dataBytes) {
    return wavFile(
        join({formatChunkFor(1, channels, sampleRate, 16), chunk("data", Bytes(dataBytes, 1))}));
}

class QuenPrepareCheck : public TempDirTest {
  protected:
    // `quen` with `arguments` as the shell splits them; standard error in "stderr.txt".
    ProgramResult tool(const std::string& arguments) const {
        return runBinary("/bin/sh", {"-c", QUEN_TOOL_BINARY " " + arguments + " 2>stderr.txt"},
                         dir());
    }
    std::string errors() const { return readText(path("stderr.txt")); }

    // `file` made by ffmpeg from `seconds` of `expression` (of t in seconds or of the
    // sample number n) at 44.1 kHz, then `options`; bit-exact: no LIST chunk.
    void ffmpeg(const std::string& expression, double seconds, const std::string& options,
                const std::string& file = "in.wav") const {
        const std::string command = "ffmpeg -v error -y -f lavfi -i \"aevalsrc='" + expression +
                                    "':s=44100:d=" + std::to_string(seconds) +
                                    "\" -fflags +bitexact " + options + " " + file;
        ASSERT_EQ(runBinary("/bin/sh", {"-c", command}, dir()).exitCode, 0) << command;
    }

    // QuenGreeting's exit code for a greeting conversion of `wav`, and its log after the
    // "Creating data file" line, indented as `quen check` shows it.
    std::pair<int, std::string> convert(const std::string& wav) const {
        const int exitCode =
            run({"/convert:" + wav, "Box", "Rec", "alaw", "out.c11", "log.txt"}).exitCode;
        const std::string text = readText(path("log.txt"));
        std::string shown;
        for (std::size_t at = text.find("\r\n") + 2, end;
             (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
            shown += "    " + text.substr(at, end - at) + "\n";
        }
        return {exitCode, shown};
    }

    // Prepares `expression` (see ffmpeg()) with `options`: the output's samples, full
    // scale 1.0, and the JSON report in `report`.
    std::vector<double> prepare(const std::string& expression, double seconds,
                                const std::string& options = "") {
        ffmpeg(expression, seconds, "");
        const ProgramResult result = tool("--json prepare in.wav out.wav " + options);
        EXPECT_EQ(result.exitCode, 0) << errors();
        report = nlohmann::json::parse(result.output, nullptr, false);
        const Bytes file = readBytes(path("out.wav"));
        std::vector<double> samples;
        for (std::size_t i = 44; i + 1 < file.size(); i += 2) {
            samples.push_back(static_cast<std::int16_t>(file[i] | file[i + 1] << 8) / 32768.0);
        }
        return samples;
    }
    nlohmann::json report;
};

TEST_F(QuenPrepareCheck, EveryCommonRecordingIsExplainedThenPreparedAndConverted) {
    const Bytes data = chunk("data", sampleBytes(testSignal(8000)));
    // INFO, one 1-byte INAM entry: 13 bytes, then the pad byte.
    const Bytes oddList = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 1, 0, 0, 0, 'x'};
    const std::tuple<std::string, Bytes, std::string> cases[] = {
        // ffmpeg's options or hand-made bytes, and the start of the first cause shown.
        {"-ac 2", {}, "2 channels; QuenGreeting takes one"},
        {"-ar 48000", {}, "48000 samples/s; QuenGreeting takes 8000 only"},
        {"-ar 8000 -c:a pcm_u8", {}, "8 bits per sample; QuenGreeting takes 16"},
        {"-ar 8000 -c:a pcm_mulaw", {}, "mu-law encoding (tag 7); QuenGreeting takes PCM only"},
        {"-c:a mp2 -f wav", {}, "MPEG encoding (tag 80); QuenGreeting takes PCM only"},
        {"-c:a libmp3lame -f wav", {}, "MPEG layer 3 encoding (tag 85); QuenGreeting takes PCM"},
        {"-ar 8000 -c:a pcm_f32le", {}, "extensible format header (sub-format IEEE float);"},
        {"-ar 8000 -rf64 always", {}, "RF64 container (64-bit sizes); QuenGreeting reads RIFF"},
        {"-ac 2 -f mp3", {}, "it is mp3 (MP2/3 (MPEG audio layer 2/3)), not a WAV file"},
        {"-ac 2 -c:a aac -f ipod", {}, "it is mov,mp4,m4a,3gp,3g2,mj2 (QuickTime / MOV), not"},
        {"-ac 2 -f ogg", {}, "it is ogg (Ogg), not a WAV file"},
        {"-ac 2 -f flac", {}, "it is flac (raw FLAC), not a WAV file"},
        {"", wavFile(join({chunk("JUNK", Bytes(28, 0)), formatChunk(), data})),
         "the \"JUNK\" chunk at offset 12 comes before the format chunk; QuenGreeting needs"},
        {"", wavFile(join({formatChunk(), chunk("LIST", oddList), {0}, data})),
         "the \"LIST\" chunk at offset 36 has an odd length (13) and a pad byte, which"},
    };
    for (const auto& [options, bytes, cause] : cases) {
        SCOPED_TRACE(cause);
        if (bytes.empty()) {
            ffmpeg("0.5*sin(2*PI*440*t)", 1, options);
        } else {
            writeBytes(path("in.wav"), bytes);
        }
        const auto [converterExit, refusal] = convert("in.wav");
        ASSERT_EQ(converterExit, 255);
        const ProgramResult check = tool("check in.wav");
        EXPECT_EQ(check.exitCode, 1);
        // RIFF and RF64 files: the size field, read from "ds64" in RF64, is the right one.
        const Bytes in = readBytes(path("in.wav"));
        const std::string container(in.begin(), in.begin() + 4), size = std::to_string(in.size());
        const std::string sizes = container != "RIFF" && container != "RF64"
                                      ? ""
                                      : "  container  " + container + " WAVE, " + size +
                                            " bytes (size field " + std::to_string(in.size() - 8) +
                                            ")\n";
        EXPECT_EQ(check.output.rfind("in.wav: refused\n" + sizes, 0), 0u) << check.output;
        EXPECT_NE(check.output.find("  QuenGreeting logs:\n" + refusal + "  cause      " + cause),
                  std::string::npos)
            << refusal << check.output;
        ASSERT_EQ(tool("prepare in.wav in-prepared.wav").exitCode, 0) << errors();
        // One second of sound, give or take the resampler's edges and the encoder delay that
        // AAC and MP3 in WAV add.
        EXPECT_NEAR(double(readBytes(path("in-prepared.wav")).size()), 16044, 800);
        EXPECT_EQ(convert("in-prepared.wav"), std::make_pair(0, std::string()));
        EXPECT_EQ(tool("check in-prepared.wav").exitCode, 0);
    }
}

TEST_F(QuenPrepareCheck, BadInputGivesOneMessageAndUsageErrorsExitTwoWithNoOutput) {
    ffmpeg("0.5*sin(2*PI*440*t)", 3, "", "whole.mp3");
    Bytes half = readBytes(path("whole.mp3"));
    half.resize(half.size() / 2);
    const std::string unknown =
        "not a recording in any format known here (Invalid data found "
        "when processing input)\n";
    const std::tuple<std::string, Bytes, std::string> cases[] = {
        // The file, its bytes, and what follows "quen prepare: FILE: " (all of it up to the
        // newline, or for the MP3 its start).
        {"missing.wav", {}, "No such file or directory\n"},
        {"notes.wav", {'n', 'o', 't', 'e', 's'}, unknown},
        {"truncated.mp3", half, "truncated: holds "},
        {"empty.wav", pcmWav({}), "contains no audio samples\n"},
        {"fast.wav", pcmLayout(1, 2000000, 4000), "impossible sample rate 2000000 Hz\n"},
        {"wide.wav", pcmLayout(99, 8000, 19800), "impossible channel count 99\n"},
        {"no-channels.wav", pcmLayout(0, 8000, 100),
         "no audio stream (WAV / WAVE (Waveform Audio))\n"},
    };
    for (const auto& [file, bytes, message] : cases) {
        SCOPED_TRACE(file);
        if (!bytes.empty()) {
            writeBytes(path(file), bytes);
        }
        writeText(path("out.wav"), "an earlier file");
        const ProgramResult result = tool("prepare " + file + " out.wav");
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, "");
        const std::string written = errors();
        EXPECT_EQ(written.rfind("quen prepare: " + file + ": " + message, 0), 0u) << written;
        EXPECT_EQ(written.find('\n'), written.size() - 1) << written;
        EXPECT_EQ(readText(path("out.wav")), "an earlier file");
    }
    // Usage errors exit 2, before anything is written.
    for (const char* arguments : {"", "inspect x.cxx x.cxx --wav b.wav", "check --template t.xml",
                                  "prepare notes.wav b.wav --loudness -20 --no-normalize",
                                  "prepare notes.wav b.wav --max-seconds 0"}) {
        EXPECT_EQ(tool(arguments).exitCode, 2) << arguments;
    }
    EXPECT_EQ(tool("--help").exitCode, 0);
    for (const auto& entry : std::filesystem::directory_iterator(dir())) {
        EXPECT_EQ(entry.path().filename().string().find(".quen-"), std::string::npos);
        EXPECT_NE(entry.path().filename(), "b.wav");
    }
}

// The files a real batch run writes are exactly those the check names for greetings it
// reaches with an accepted recording, in each mode; the run ends where the check says.
TEST_F(QuenPrepareCheck, TemplateCheckAgreesWithRealBatchRuns) {
    std::filesystem::create_directory(path("rec"));
    const std::string longName(27, 'n');
    writeBytes(path("rec/ok.wav"), pcmWav(testSignal(800)));
    writeBytes(path("rec/other.wav"), pcmWav(testSignal(900)));
    writeBytes(path("rec/stereo.wav"), pcmLayout(2, 8000, 400));
    writeBytes(path("rec/" + longName + ".wav"), pcmWav(testSignal(100)));
    const auto xmlGreeting = [](const std::string& id, const std::string& recording) {
        return "<Greeting id=\"" + id + "\"><RecordingName>" + recording +
               "</RecordingName></Greeting>";
    };
    writeText(
        path("aa.xml"),
        "<zandorConfiguration><AutoAttendants><AutoAttendant><AAName>Main</AAName><Greetings>" +
            xmlGreeting("morning", "ok.wav") + xmlGreeting("holiday", "other.wav") +
            xmlGreeting("evening", "") + xmlGreeting("menu", "stereo.wav") +
            xmlGreeting("morning", "other.wav") + xmlGreeting("afternoon", longName + ".wav") +
            xmlGreeting("evening", "gone.wav") + xmlGreeting("menu", "ok.wav") +
            "</Greetings></AutoAttendant></AutoAttendants></zandorConfiguration>");
    const ProgramResult check =
        tool("--json check --template aa.xml --wav-dir rec --result-dir out");
    EXPECT_EQ(check.exitCode, 1);
    const auto planned = nlohmann::json::parse(check.output)["greetings"];
    ASSERT_EQ(planned.size(), 8u);
    for (const int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        std::filesystem::remove_all(path("out"));
        std::filesystem::create_directory(path("out"));
        std::set<std::string> expected;
        for (const auto& greeting : planned) {  // a skipped greeting is planned in no mode
            const nlohmann::json names =
                greeting["skipped"] ? nlohmann::json() : greeting["modes"][mode - 1];
            if (!names.is_null() && names["reached"] && names["ends_run"].is_null() &&
                greeting["exists"] && greeting["recording"]["accepted"]) {
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
    // Mode 1 ends at the missing recording (greeting 7), mode 2 at the long name before it.
    EXPECT_EQ(planned[7]["modes"][0]["reached"], false);
    EXPECT_EQ(planned[6]["modes"][1]["reached"], false);
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
TEST_F(QuenPrepareCheck, PreparedSoundMeetsItsTargets) {
    const auto [amplitude, residualDb] =
        fitSine(prepare("0.5*sin(2*PI*1000*t)", 2, "--no-normalize"), 1000);
    EXPECT_NEAR(amplitude, 0.5, 0.005);
    EXPECT_LT(residualDb, -60);
    // 6 kHz would fold back to 2 kHz; whatever is there must be 60 dB below the input.
    EXPECT_LT(fitSine(prepare("0.5*sin(2*PI*6000*t)", 2, "--no-normalize"), 2000).first, 0.0005);

    double peak = 0;
    const auto lufs = [&peak](const std::vector<double>& samples) {
        peak = std::abs(std::ranges::max(samples, {}, [](double v) { return std::abs(v); }));
        ebur128_state* state = ebur128_init(1, 8000, EBUR128_MODE_I);
        ebur128_add_frames_double(state, samples.data(), samples.size());
        double loudness = 0;
        ebur128_loudness_global(state, &loudness);
        ebur128_destroy(&state);
        return loudness;
    };
    // Speech-like, about -35 LUFS: three partials under a syllable-rate envelope.
    const std::string quiet =
        "0.02*(0.5+0.5*sin(2*PI*3*t))*(sin(2*PI*220*t)+0.5*sin(2*PI*660*t)"
        "+0.25*sin(2*PI*1500*t))";
    EXPECT_NEAR(lufs(prepare(quiet, 4)), -18.0, 0.5);
    EXPECT_LT(peak, 1.0);
    EXPECT_NEAR(lufs(prepare(quiet, 4, "--loudness -23")), -23.0, 0.5);
    EXPECT_FALSE(report["gain_limited_by_peak"]);
    // A lone full-scale click in near silence: the peak, not the target, sets the gain.
    lufs(prepare("0.001*sin(0.1*n)+0.9*eq(n,44100)", 2));
    EXPECT_TRUE(report["gain_limited_by_peak"]);
    EXPECT_LE(peak, std::pow(10.0, -1.0 / 20) + 2.0 / 32768);

    // One second of sound between seconds of silence: trimmed to it and 0.2 s either side.
    const std::string tone = "0.3*sin(2*PI*440*t)";
    EXPECT_NEAR(double(prepare(tone + "*gte(t,1)*lt(t,2)", 3, "--trim-silence").size()), 11200, 8);
    const std::vector<double> cut = prepare(tone, 1, "--max-seconds 0.5 --no-normalize");
    ASSERT_EQ(cut.size(), 4000u);
    EXPECT_LT(std::abs(cut.back()), 2.0 / 32768);
}

}  // namespace
}  // namespace quen::test
