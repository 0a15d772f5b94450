// `quen check` and `quen inspect` end to end: the sound measures both report (active
// speech level against a tone burst whose answer is known, true peak, clipped runs), one
// key style and one rounding in JSON, the file each command belongs to, the output rule
// (- is standard output, -y to replace), exit codes in the help, the template check's
// pre-checks and a summary that holds, and the waveform picture's marks.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <tuple>

#include "quen/WaveformSvg.h"
#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

constexpr double PI = 3.141592653589793;

// `seconds` of a 1 kHz sine of amplitude `amplitude` at 8 kHz, switched on for `on`
// seconds of every `period`; a phase that puts no sample on a zero crossing.
std::vector<std::int16_t> toneBurst(double amplitude, double seconds, double on, double period) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * 8000));
    for (std::size_t n = 0; n < samples.size(); ++n) {
        const double t = n / 8000.0;
        if (std::fmod(t, period) < on) {
            samples[n] = static_cast<std::int16_t>(
                std::lround(amplitude * std::sin(2 * PI * 1000 * t + PI / 8)));
        }
    }
    return samples;
}

// Every key of every object in `document`, at any depth.
void forEachKey(const nlohmann::json& document,
                const std::function<void(const std::string&, const nlohmann::json&)>& visit) {
    if (document.is_object()) {
        for (const auto& [key, value] : document.items()) {
            visit(key, value);
            forEachKey(value, visit);
        }
    } else if (document.is_array()) {
        for (const auto& value : document) {
            forEachKey(value, visit);
        }
    }
}

// The JSON document of a run that exits with `exitCode`: snake_case keys; every decibel
// field rounded to 0.01 and never -0.0.
nlohmann::json conventional(const ProgramResult& result, int exitCode) {
    EXPECT_EQ(result.exitCode, exitCode);
    const std::string& output = result.output;
    const auto document = nlohmann::json::parse(output);
    const std::regex snake("[a-z0-9]+(_[a-z0-9]+)*");
    forEachKey(document, [&snake](const std::string& key, const nlohmann::json& value) {
        EXPECT_TRUE(std::regex_match(key, snake)) << key;
        if ((key.ends_with("_dbfs") || key.ends_with("_dbm0")) && value.is_number()) {
            const double v = value.get<double>();
            EXPECT_NEAR(v * 100, std::round(v * 100), 1e-6) << key;
            EXPECT_FALSE(v == 0 && std::signbit(v)) << key;
        }
    });
    EXPECT_EQ(output.find("-0.0,"), std::string::npos);
    return document;
}

class QuenCheckInspect : public Quen {
  protected:
    // A data file converted by QuenGreeting from `samples`, as out.c11 (A-law).
    void convertToDataFile(const std::vector<std::int16_t>& samples) {
        writeBytes(path("in.wav"), pcmWav(samples));
        ASSERT_EQ(run({"/convert:in.wav", "Box", "Rec", "alaw", "out.c11", "log.txt"}).exitCode, 0);
    }
};

TEST_F(QuenCheckInspect, SpeechLevelOfAToneIsItsRmsInDbm0AndBothCommandsAgree) {
    // 1 kHz at amplitude 2600 * sqrt(2) is an RMS of 2600: -19.0 dBm0, active throughout.
    const double amplitude = 2600 * std::sqrt(2.0);
    const double expected = 20 * std::log10(2600 / (32767 / std::sqrt(2.0)));
    writeBytes(path("tone.wav"), pcmWav(toneBurst(amplitude, 4, 1, 1)));
    const auto levels = conventional(tool("--json check tone.wav"), 0)["files"][0]["levels"];
    EXPECT_NEAR(levels["active_speech_level_dbm0"].get<double>(), expected, 0.2);
    EXPECT_NEAR(levels["activity_factor"].get<double>(), 1.0, 0.01);
    EXPECT_NEAR(levels["true_peak_dbfs"].get<double>(), 20 * std::log10(amplitude / 32768), 0.1);
    EXPECT_EQ(levels["clipped_runs"], 0);

    // Bursts, on half the time, through A-law and back: the pauses do not count, so the
    // level is the long-term power over the active share, here about 0.78 (each burst
    // keeps the 0.2 s hangover and the envelope's decay).
    convertToDataFile(toneBurst(amplitude, 10, 0.5, 1.0));
    const auto audio = conventional(tool("--json inspect out.c11"), 0)["files"][0]["audio"];
    const double activity = audio["activity_factor"].get<double>();
    EXPECT_NEAR(activity, 0.78, 0.03);
    EXPECT_NEAR(activity * 1000, std::round(activity * 1000), 1e-6);  // three decimals
    EXPECT_NEAR(audio["active_speech_level_dbm0"].get<double>(),
                expected + 10 * std::log10(0.5 / activity), 0.2);
    // The picture: the min/max envelope reaches the tone's largest sample (8 a cycle, at
    // 3/8 pi from the crest), the RMS envelope inside it its RMS, 2600 (the plot's middle
    // is y = 150, full scale 110 pixels away).
    ASSERT_EQ(tool("inspect out.c11 --svg w.svg").exitCode, 0);
    const std::string svg = readText(path("w.svg"));
    EXPECT_NE(svg.find(">A-law \u2014 Box \u2014 Rec</text>"), std::string::npos);
    const auto topOf = [&svg](const std::string& colour) {
        const std::size_t at = svg.find("<polygon fill=\"" + colour + "\"");
        EXPECT_NE(at, std::string::npos) << colour;
        const std::string points = svg.substr(at, svg.find("/>", at) - at);
        double top = 1e9;
        const std::regex point(",([0-9.]+) ");
        for (auto it = std::sregex_iterator(points.begin(), points.end(), point);
             it != std::sregex_iterator(); ++it) {
            top = std::min(top, std::stod((*it)[1]));
        }
        return top;
    };
    EXPECT_NEAR(topOf("#8fb8de"), 150 - amplitude * std::sin(3 * PI / 8) / 32768 * 110, 0.3);
    EXPECT_NEAR(topOf("#1f4e79"), 150 - 2600 / 32768.0 * 110, 0.3);
    // Text shows the same figures.
    const std::string text = tool("inspect out.c11").output;
    char level[80];
    std::snprintf(level, sizeof level,
                  "  speech              %.2f dBm0, active %.1f %% of the time\n",
                  audio["active_speech_level_dbm0"].get<double>(), activity * 100);
    EXPECT_NE(text.find(level), std::string::npos) << text;
}

TEST_F(QuenCheckInspect, EveryFullScaleSampleCountsAndRunsOfThreeOrMore) {
    // Runs of 2 at +full scale, then of 3 at -full scale, then of 5 at +full scale.
    const std::pair<int, std::string> rows[] = {
        {1, "2 samples at full scale, no runs of 3 or more in a row"},
        {2, "5 samples at full scale, 1 run (3 samples) of 3 or more in a row"},
        {3, "10 samples at full scale, 2 runs (8 samples) of 3 or more in a row"},
    };
    for (const auto& [runs, shown] : rows) {
        std::vector<std::int16_t> samples = toneBurst(8000, 1, 1, 1);
        std::fill_n(samples.begin() + 1000, 2, 32767);
        std::fill_n(samples.begin() + 3000, runs > 1 ? 3 : 0, -32768);
        std::fill_n(samples.begin() + 5000, runs > 2 ? 5 : 0, 32767);
        writeBytes(path("clipped.wav"), pcmWav(samples));
        const std::string text = tool("check clipped.wav").output;
        EXPECT_NE(text.find("\n  clipping   " + shown + "\n"), std::string::npos) << text;
    }
}

TEST_F(QuenCheckInspect, CheckListsTheLayoutOfAnAcceptedRecordingUpToItsLimit) {
    // 0.51 s, with a LIST chunk between the format and the data.
    const Bytes data = sampleBytes(testSignal(4080));
    writeBytes(
        path("in.wav"),
        wavFile(join({formatChunk(), chunk("LIST", {'I', 'N', 'F', 'O'}), chunk("data", data)})));
    // Its sound is too loud for a greeting: accepted with a finding, which fails the check.
    const ProgramResult check = tool("check in.wav");
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_TRUE(
        check.output.starts_with("in.wav: accepted, 1 finding\n"
                                 "  container  RIFF WAVE, 8216 bytes (size field 8208)\n"
                                 "  chunks     \"fmt \" at 12 (16 bytes)\n"
                                 "             \"LIST\" at 36 (4 bytes)\n"
                                 "             \"data\" at 48 (8160 bytes)\n"
                                 "  format     PCM, 8000 Hz, 1 channel, 16 bits, 0.51 s\n"))
        << check.output;
    // The sizes it foretells are those of the data files QuenGreeting writes.
    ASSERT_EQ(run({"/convert:in.wav", "b", "r", "g711", "a.c11", "log.txt"}).exitCode, 0);
    ASSERT_EQ(run({"/convert:in.wav", "b", "r", "g723", "a.c23", "log.txt"}).exitCode, 0);
    EXPECT_NE(check.output.find(
                  "  data files A-law or mu-law " +
                  std::to_string(std::filesystem::file_size(path("a.c11"))) + " bytes, G.723.1 " +
                  std::to_string(std::filesystem::file_size(path("a.c23"))) + " bytes\n"),
              std::string::npos)
        << check.output;
    // A thousand chunks are listed; the rest are summed up in one line.
    Bytes body = join({formatChunk(), chunk("data", data)});
    for (int i = 0; i < 1000; ++i) {
        const Bytes junk = chunk("JUNK", {});
        body.insert(body.end(), junk.begin(), junk.end());
    }
    writeBytes(path("many.wav"), wavFile(body));
    const std::string listed = tool("check many.wav").output;
    EXPECT_NE(listed.find("             \"JUNK\" at 16180 (0 bytes)\n"
                          "             (more chunks not listed)\n"
                          "  format     "),
              std::string::npos)
        << listed.substr(listed.size() - 300);
    // Refused by their layout: QuenGreeting's lines, the causes and any fix.
    const std::string compression = "    Compression of \"x.wav\" file failed on bad format.\n";
    const std::pair<Bytes, std::string> layouts[] = {
        {wavFile(formatChunk()), "    Bad \".wav\" file format.  Did not find \"data\" section.\n" +
                                     compression + "  cause      no data chunk\n"},
        {wavFile(chunk("data", data)),
         "    Bad \".wav\" file format.  Did not find \"fmt\" (format) section.\n" + compression +
             "  cause      the \"data\" chunk at offset 12 comes before the format chunk; "
             "QuenGreeting needs the format chunk first\n  cause      no readable format chunk\n"},
        {wavFile(join({formatChunk(38), chunk("data", data)})),
         "    Bad \".wav\" file format.  Length of \"format\" sub-chunk is incorrect.\n" +
             compression +
             "  cause      a format chunk of 54 bytes; QuenGreeting takes 16 to 52\n"
             "  fix        quen prepare x.wav x-prepared.wav\n"},
    };
    for (const auto& [bytes, ending] : layouts) {
        writeBytes(path("x.wav"), bytes);
        const std::string refused = tool("check x.wav").output;
        EXPECT_TRUE(refused.ends_with(ending)) << refused;
    }
    // The longest format chunk taken.
    writeBytes(path("x.wav"), wavFile(join({formatChunk(36), chunk("data", data)})));
    EXPECT_TRUE(tool("check x.wav").output.starts_with("x.wav: accepted, 1 finding\n"));
}

// `quen --json check FILE`, its exit code and its document, and the most memory it held
// (KB).
std::tuple<int, nlohmann::json, long> checkMeasured(const std::filesystem::path& dir,
                                                    const std::string& file) {
    const std::string out = (dir / "check.json").string();
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::chdir(dir.c_str()) == 0 && fd >= 0 && ::dup2(fd, STDOUT_FILENO) >= 0) {
            ::execl(QUEN_TOOL_BINARY, QUEN_TOOL_BINARY, "--json", "check", file.c_str(), nullptr);
        }
        ::_exit(127);
    }
    int status = -1;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)) {
        return {-1, nullptr, 0};
    }
    return {WEXITSTATUS(status), nlohmann::json::parse(readText(out), nullptr, false),
            usage.ru_maxrss};
}

// Sparse files: a few kilobytes on disk that stand for days of audio. The layout comes
// from the chunk headers alone, the sound is measured over the first half hour, and the
// memory held stays small whatever the stated length, accepted or refused.
TEST_F(QuenCheckInspect, AHugeRecordingIsCheckedInBoundedMemory) {
    // 10 s of tone, then silence up to 2 GiB: 37 hours at 8 kHz.
    const Bytes tone = sampleBytes(testSignal(80000));
    const std::uint32_t dataLength = 0x7FFFFFFF - 44;
    writeBytes(path("big.wav"), wavFile(join({formatChunk(), chunk("data", tone, dataLength)})));
    std::filesystem::resize_file(path("big.wav"), 44 + std::uint64_t{dataLength});
    const auto [exitCode, big, bigKb] = checkMeasured(dir(), "big.wav");
    // Accepted, with findings about its sound: the half hour measured is mostly silence.
    ASSERT_EQ(exitCode, 1) << big;
    const auto& file = big["files"][0];
    EXPECT_TRUE(file["accepted"]);
    EXPECT_EQ(file["findings"][0]["key"], "trailing_silence");
    EXPECT_EQ(file["file_size"], 0x7FFFFFFF);
    EXPECT_EQ(file["chunks"][1]["length"], dataLength);
    EXPECT_FALSE(file["chunks"][1]["past_end"]);
    EXPECT_TRUE(file.value("levels_partial", false));
    EXPECT_NEAR(file["levels"]["trailing_silence_seconds"].get<double>(), 1790.0, 0.1);
    if (MEMORY_IS_MEASURED) {
        EXPECT_LT(bigKb, 64 * 1024) << "KB at most";
    }
    // Refused for its two channels, longer than the 1 GiB read whole before.
    writeBytes(path("stereo.wav"),
               wavFile(join({formatChunkFor(1, 2, 8000, 16), chunk("data", {}, 0xC0000000)})));
    std::filesystem::resize_file(path("stereo.wav"), 0xC0000000 + 44);
    const auto [refusedCode, stereo, stereoKb] = checkMeasured(dir(), "stereo.wav");
    EXPECT_EQ(refusedCode, 1);
    const auto& refused = stereo["files"][0];
    EXPECT_FALSE(refused["accepted"]);
    EXPECT_FALSE(stereo["all_accepted"]);
    EXPECT_EQ(refused["chunks"][1]["length"], 0xC0000000u);
    EXPECT_EQ(refused["causes"][0], "2 channels; QuenGreeting takes one");
    // A key missing from a const document is no value to read.
    EXPECT_TRUE(refused.value("levels_partial", false));
    if (MEMORY_IS_MEASURED) {
        EXPECT_LT(stereoKb, 256 * 1024) << "KB at most";
    }
    // The text says how much was measured, and from what.
    EXPECT_NE(tool("check stereo.wav")
                  .output.find("\n  measured   the first 30 minutes, as decoded to 8 kHz mono\n"),
              std::string::npos);
}

// A name that would clear the screen and break a line is shown escaped by every
// subcommand, in the $'...' form a shell reads back, and whole in JSON; the fix line,
// run by bash, writes the prepared recording under the very name.
TEST_F(QuenCheckInspect, NamesWithControlCharactersAreEscapedInTextAndWholeInJson) {
    const std::string name = "a\033[2Jb\n.wav";
    const std::string shown = "$'a\\033[2Jb\\n.wav'";
    // Stereo speech: refused for its channels, and prepared, since it holds speech.
    std::vector<std::int16_t> stereo;
    for (const std::int16_t sample : speechAt(1, -19)) {
        stereo.insert(stereo.end(), {sample, sample});
    }
    writeBytes(path(name),
               wavFile(join({formatChunkFor(1, 2, 8000, 16), chunk("data", sampleBytes(stereo))})));
    const ProgramResult check = tool("check '" + name + "'");
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.output.find('\033'), std::string::npos) << check.output;
    EXPECT_TRUE(check.output.starts_with(shown + ": refused\n")) << check.output;
    EXPECT_NE(
        check.output.find("    Compression of \"a\\033[2Jb\\n.wav\" file failed on bad format.\n"),
        std::string::npos)
        << check.output;
    const std::string fixLine =
        "  fix        quen prepare " + shown + " $'a\\033[2Jb\\n-prepared.wav'\n";
    EXPECT_NE(check.output.find(fixLine), std::string::npos) << check.output;
    const auto document = nlohmann::json::parse(tool("--json check '" + name + "'").output);
    EXPECT_EQ(document["files"][0]["path"], name);
    const std::string fix = document["files"][0]["fix"];
    ASSERT_EQ(shell("bash -c \"" QUEN_TOOL_BINARY + fix.substr(4) + " >/dev/null\""), 0);
    EXPECT_TRUE(std::filesystem::exists(path("a\033[2Jb\n-prepared.wav")));
    EXPECT_EQ(tool("prepare '" + name + "' 'a\033[2Jb\n-prepared.wav'").exitCode, 2);
    EXPECT_EQ(errors(),
              "quen prepare: $'a\\033[2Jb\\n-prepared.wav': exists already; give -y "
              "(--overwrite) to replace it\n");
    EXPECT_EQ(tool("inspect '" + name + "'").output,
              shown + ": error: a WAV recording, not a data file: use quen check\n");
    const ProgramResult report = tool("report -o 'p\033[2J.html' '" + name + "'");
    EXPECT_TRUE(report.output.starts_with("$'p\\033[2J.html': 1 data file")) << report.output;
    EXPECT_EQ(report.output.find('\033'), std::string::npos) << report.output;
}

TEST_F(QuenCheckInspect, ARefusedRecordingThatCanBeReadIsMeasuredToo) {
    // 44.1 kHz stereo, hard clipped: refused, then measured as decoded to 8 kHz mono.
    const std::string clipped = "max(-1,min(1,3*sin(2*PI*200*t)))";
    ffmpeg(clipped + "|" + clipped, 2, "loud.wav");
    const auto file = conventional(tool("--json check loud.wav"), 1)["files"][0];
    EXPECT_FALSE(file["accepted"]);
    EXPECT_FALSE(file["levels_partial"]);
    // Counted on the source's own samples: one run a half-cycle a channel, 2 s of 200 Hz.
    EXPECT_NEAR(file["levels"]["clipped_runs"].get<int>(), 2 * 2 * 400, 4);
    // Every sample of the runs is at full scale, and it is a finding.
    EXPECT_EQ(file["levels"]["clipped_samples"], file["levels"]["clipped_run_samples"]);
    EXPECT_EQ(file["findings"].back()["key"], "clipping");
    EXPECT_GT(file["levels"]["active_speech_level_dbm0"].get<double>(), -2.0);
    EXPECT_NE(tool("check loud.wav").output.find("  measured   as decoded to 8 kHz mono\n"),
              std::string::npos);
    // 8-bit PCM is unsigned: 0 and 255 are its full scale. 1 s of 200 Hz in mono: a run
    // each half-cycle, of either sign.
    ffmpeg(clipped, 1, "-ar 8000 -c:a pcm_u8 low.wav");
    const auto low = nlohmann::json::parse(tool("--json check low.wav").output)["files"][0];
    EXPECT_EQ(low["format"]["bits_per_sample"], 8);
    EXPECT_NEAR(low["levels"]["clipped_runs"].get<int>(), 400, 2);
}

TEST_F(QuenCheckInspect, EachCommandNamesTheOtherForTheOthersFilesAndAMissingFileIsAnError) {
    writeBytes(path("in.wav"), pcmWav(testSignal(800)));
    // The big-endian and 64-bit forms are WAV recordings too.
    for (const char* form : {"RIFX", "RF64"}) {
        Bytes other = pcmWav(testSignal(800));
        std::copy_n(form, 4, other.begin());
        writeBytes(path(std::string(form) + ".wav"), other);
    }
    convertToDataFile(testSignal(800));
    std::filesystem::create_directory(path("d.wav"));
    // A data file of no audio is its preamble alone: known by it, whole.
    writeBytes(path("empty.c11"), expectedDataFile(0x89, {}, {}, 80));
    // The wrong command's file is a problem (1); one that cannot be got at is trouble (2).
    const std::tuple<std::string, int, std::string> cases[] = {
        {"check d.wav", 2,
         "d.wav: refused\n  reads as   nothing: not a recording file but a directory; quen reads "
         "regular files only\n  QuenGreeting logs:\n    Can't open file \"d.wav\", error = 5\n"},
        {"inspect in.wav", 1, "in.wav: error: a WAV recording, not a data file: use quen check\n"},
        {"inspect RIFX.wav", 1,
         "RIFX.wav: error: a WAV recording, not a data file: use quen check\n"},
        {"inspect RF64.wav", 1,
         "RF64.wav: error: a WAV recording, not a data file: use quen check\n"},
        {"check out.c11", 1,
         "out.c11: error: a QuenGreeting data file, not a recording: use quen inspect\n"},
        {"check empty.c11", 1,
         "empty.c11: error: a QuenGreeting data file, not a recording: use quen inspect\n"},
        {"check missing.wav", 2, "missing.wav: error: cannot open: No such file or directory\n"},
    };
    for (const auto& [arguments, exitCode, message] : cases) {
        const ProgramResult result = tool(arguments);
        EXPECT_EQ(std::make_pair(result.exitCode, result.output),
                  std::make_pair(exitCode, message));
    }
    const ProgramResult version = tool("--version");
    EXPECT_EQ(std::make_pair(version.exitCode, version.output),
              std::make_pair(0, std::string("quen " QUEN_VERSION "\n")));
    const auto json = nlohmann::json::parse(tool("--json check missing.wav in.wav").output);
    EXPECT_EQ(json["files"][0]["error"], "cannot open: No such file or directory");
    EXPECT_TRUE(json["files"][1]["accepted"]);
    EXPECT_FALSE(json["all_accepted"]);
}

TEST_F(QuenCheckInspect, OutputsAreReplacedOnlyWithOverwriteAndDashIsStandardOutput) {
    convertToDataFile(testSignal(800));
    writeText(path("a.wav"), "keep me");
    EXPECT_EQ(tool("inspect out.c11 --wav a.wav").exitCode, 2);
    EXPECT_EQ(readText(path("a.wav")), "keep me");
    EXPECT_EQ(errors(),
              "quen inspect: a.wav: exists already; give -y (--overwrite) to replace it\n");
    // 0.1 s of sound is no speech: a finding, exit code 1, and the WAV written all the same.
    ASSERT_EQ(tool("inspect out.c11 --wav a.wav -y").exitCode, 1);
    const Bytes written = readBytes(path("a.wav"));
    EXPECT_EQ(written.size(), 44 + 2 * 800u);
    const Bytes header = pcmWav(std::vector<std::int16_t>(800));
    EXPECT_EQ(Bytes(written.begin(), written.begin() + 44),
              Bytes(header.begin(), header.begin() + 44));
    // "-": the WAV alone on standard output, the report on standard error.
    const ProgramResult piped = tool("inspect out.c11 --wav -");
    ASSERT_EQ(piped.exitCode, 1);
    EXPECT_EQ(Bytes(piped.output.begin(), piped.output.end()), written);
    EXPECT_TRUE(errors().starts_with("out.c11: valid\n")) << errors();
    EXPECT_TRUE(tool("inspect out.c11 --svg -").output.starts_with("<?xml"));
    // A standard output that takes nothing fails the run, even for output it would buffer.
    EXPECT_EQ(tool("inspect out.c11 --wav - >/dev/full").exitCode, 2);
    EXPECT_TRUE(errors().starts_with("quen inspect: -: cannot write to standard output\n"))
        << errors();
    EXPECT_EQ(tool("inspect out.c11 --wav - --svg -").exitCode, 2);
    // -q: the report of a file with findings (0.1 s is no speech), a problem, and of a
    // missing one, trouble, which wins.
    EXPECT_EQ(tool("inspect -q out.c11").exitCode, 1);
    const ProgramResult quiet = tool("inspect -q out.c11 missing.c11");
    EXPECT_EQ(quiet.exitCode, 2);
    EXPECT_TRUE(quiet.output.starts_with("out.c11: valid\n")) << quiet.output;
    EXPECT_TRUE(
        quiet.output.ends_with("  finding             no speech: 0.04 s of sound in all "
                               "(under 0.3 s); record it again\n"
                               "missing.c11: error: cannot open: No such file or "
                               "directory\n"))
        << quiet.output;
    EXPECT_TRUE(tool("check -q in.wav").output.starts_with("in.wav: accepted, 1 finding\n"));
}

// Every subcommand's help ends in the same three exit codes, its own words before the
// shared ones, and `help X` is `X --help`.
TEST_F(QuenCheckInspect, HelpNamesTheWholeCommandAndItsExitCodes) {
    const std::regex exitCodes(
        "\nExit codes:\n  0  [^\n]+\n  1  [^\n]+\n  2  [^\n]+; standard output cannot be "
        "written; the command line cannot be parsed \\(nothing is read or written\\)\n"
        "  When both 1 and 2 apply, 2 wins; every file is still reported.\n$");
    for (const std::string command : {"inspect", "check", "prepare", "report"}) {
        SCOPED_TRACE(command);
        const ProgramResult help = tool("help " + command);
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(help.output.find("\nUsage: quen " + command + " [OPTIONS]"), std::string::npos)
            << help.output;
        EXPECT_TRUE(std::regex_search(help.output, exitCodes)) << help.output;
        EXPECT_EQ(tool(command + " --help").output, help.output);
    }
}

class QuenTemplateCheck : public QuenCheckInspect {
  protected:
    void writeTemplate(const std::string& attendants) {
        writeText(path("t.xml"), configuration(attendants));
    }
    // The last line of the text report.
    std::string summary(const std::string& arguments) {
        const ProgramResult result = tool("check --template t.xml --wav-dir . " + arguments);
        EXPECT_EQ(result.exitCode, 1) << result.output;
        const std::string& out = result.output;
        return out.substr(out.rfind('\n', out.size() - 2) + 1);
    }
};

TEST_F(QuenTemplateCheck, TheBatchPreChecksStopTheRunAndSaySo) {
    writeBytes(path("a.wav"), pcmWav(testSignal(800)));
    writeTemplate(
        attendant("Desk", greeting("morning", "a.wav") + greeting("evening", "none.wav")));
    // The missing recording is shown, but no run gets as far as ending there.
    const ProgramResult result = tool("check --template t.xml --wav-dir . --result-dir gone");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.output.starts_with(
        "t.xml:\n  QuenGreeting logs: The results-directory doesn't exit\n"
        "  The run stops here, before its first greeting.\n"))
        << result.output;
    EXPECT_TRUE(result.output.ends_with(
        "     mode 2     gone/none.c23, gone/none.c11\n"
        "     problem    mode 1: not reached, the run ended before\n"
        "     problem    mode 2: not reached, the run ended before\n"
        "     problem    the recording ./none.wav does not exist\n"
        "2 greetings, 2 with problems: no greeting would convert, the run stops before the "
        "first\n"))
        << result.output;
    const auto json =
        nlohmann::json::parse(tool("--json check --template t.xml --wav-dir nowhere").output);
    EXPECT_EQ(json["operand_failure"][0], "The wav-file-directory (nowhere) doesn't exit");
    EXPECT_FALSE(json["all_convert"]);
    // With everything in place the run gets as far as the missing recording.
    EXPECT_NE(
        tool("check --template t.xml --wav-dir .").output.find("A mode 1 run ends at greeting 2"),
        std::string::npos);
}

TEST_F(QuenTemplateCheck, TheSummaryHoldsForATemplateCutShortOrWithoutAnAttendantName) {
    writeBytes(path("a.wav"), pcmWav(testSignal(800)));
    writeText(path("t.xml"), "<zandorConfiguration><AutoAttendants><AutoAttendant>");
    EXPECT_EQ(summary(""), "The template cannot be read: no greeting would convert\n");
    writeTemplate(attendant("Desk", greeting("morning", "a.wav")) + "<AutoAttendant><Greetings>" +
                  greeting("evening", "a.wav") + "</Greetings></AutoAttendant>");
    EXPECT_EQ(summary(""),
              "1 greeting, 0 with problems before the run ends: not every greeting would "
              "convert, those after the end are neither converted nor checked\n");
    // A greeting without a recording is skipped by the run, and said to be.
    writeTemplate(attendant("Desk", greeting("morning", "a.wav") + greeting("evening", "")));
    const ProgramResult skipped = tool("check --template t.xml --wav-dir .");
    EXPECT_EQ(skipped.exitCode, 0);
    EXPECT_TRUE(skipped.output.ends_with(
        "2. Desk / evening (EV_greeting): no recording\n"
        "     note       the RecordingName is empty; the greeting is skipped\n"
        "2 greetings, 0 with problems: every greeting would convert\n"))
        << skipped.output;
}

TEST_F(QuenTemplateCheck, AMissingFirstRecordingDoesNotHideLaterDuplicates) {
    writeBytes(path("a.wav"), pcmWav(testSignal(800)));
    writeTemplate(attendant("Desk", greeting("morning", "gone.wav") + greeting("evening", "a.wav") +
                                        greeting("evening", "a.wav")));
    const auto json =
        nlohmann::json::parse(tool("--json check --template t.xml --wav-dir . --mode 2").output);
    const auto& problems = json["greetings"][2]["problems"];
    ASSERT_EQ(problems.size(), 2u) << problems;
    EXPECT_EQ(problems[0], "mode 2: writes the same data files as greeting 2, which it replaces");
    EXPECT_EQ(problems[1], "mode 2: not reached, the run ended before");
}

// The fix a template check names keeps the name the template uses: run as printed, it
// makes the greeting convert (a file beside it would never be read), and the refused
// recording, a master, is kept under a new name.
TEST_F(QuenTemplateCheck, TheFixLineRunAsPrintedMakesTheGreetingConvert) {
    ffmpeg("0.2*sin(2*PI*440*t)", 1.0, "-ac 2 'rec ording.wav'");
    writeTemplate(attendant("Desk", greeting("morning", "rec ording.wav")));
    const auto refused =
        nlohmann::json::parse(tool("--json check --template t.xml --wav-dir .").output);
    ASSERT_FALSE(refused["all_convert"]);
    const std::string fix = refused["greetings"][0]["recording"]["fix"];
    EXPECT_EQ(fix,
              "mv -n -- './rec ording.wav' './rec ording-master.wav' && quen prepare './rec "
              "ording-master.wav' './rec ording.wav'");
    const std::string text = tool("check --template t.xml --wav-dir .").output;
    EXPECT_NE(text.find("       cause: 44100 samples/s; QuenGreeting takes 8000 only\n"
                        "       fix:   " +
                        fix + "\n"),
              std::string::npos)
        << text;
    ASSERT_EQ(shell("PATH='" + std::filesystem::path(QUEN_TOOL_BINARY).parent_path().string() +
                    "':\"$PATH\"; " + fix + " >/dev/null"),
              0);
    EXPECT_EQ(tool("check --template t.xml --wav-dir .").exitCode, 0);
    EXPECT_EQ(tool("check 'rec ording-master.wav'").exitCode, 1);
}

TEST_F(QuenCheckInspect, TheWaveformShowsItsScaleSilenceAndClipping) {
    // 1 s of silence, 1 s of tone with one clipped run, 1 s of silence.
    std::vector<std::int16_t> samples(8000, 0);
    const auto tone = toneBurst(8000, 1, 1, 1);
    samples.insert(samples.end(), tone.begin(), tone.end());
    samples.resize(24000, 0);
    for (std::size_t i = 12000; i < 12004; ++i)
        samples[i] = 32767;
    convertToDataFile(samples);
    // Leading and trailing silence are findings; the picture is drawn all the same.
    ASSERT_EQ(tool("inspect out.c11 --svg w.svg").exitCode, 1) << errors();
    const std::string svg = readText(path("w.svg"));
    // The plot is 1130 columns from x = 50: silence is the first and last third, a
    // clipped run is marked once, near the middle.
    const std::regex silence(
        "<rect x=\"(\\d+)\" y=\"40\" width=\"(\\d+)\" height=\"220\" "
        "fill=\"#eeeeee\"/>");
    std::vector<std::pair<int, int>> shaded;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), silence);
         it != std::sregex_iterator(); ++it) {
        shaded.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
    }
    ASSERT_EQ(shaded.size(), 2u) << svg;
    EXPECT_EQ(shaded[0].first, 50);
    EXPECT_NEAR(shaded[0].second, 1130 / 3.0, 2);
    EXPECT_NEAR(shaded[1].first + shaded[1].second, 50 + 1130, 1);
    const std::regex clipped(
        "<rect x=\"(\\d+)\" y=\"34\" width=\"\\d+\" height=\"6\" fill=\"#d62728\"/>");
    std::smatch mark;
    ASSERT_TRUE(std::regex_search(svg, mark, clipped)) << svg;
    EXPECT_NEAR(std::stoi(mark[1]), 50 + 1130 / 2.0, 2);
    EXPECT_NE(svg.find(">-6</text>"), std::string::npos);
    // The time axis is marked every half second up to its end, 3 s at the plot's right.
    EXPECT_NE(svg.find("<text x=\"1180.0\" y=\"278\" text-anchor=\"middle\">3</text>"),
              std::string::npos);
    // A-law decodes to 32256 at most: the run is at the data file's full scale.
    const auto audio =
        nlohmann::json::parse(tool("--json inspect out.c11").output)["files"][0]["audio"];
    EXPECT_EQ(audio["clipped_runs"], 1);
    EXPECT_EQ(audio["clipped_run_samples"], 4);
    EXPECT_NE(svg.find(">dBFS</text>"), std::string::npos);
    // The scale's ticks left of the plot, 0 dBFS at its top; the axis named at the bottom.
    EXPECT_NE(svg.find("<line x1=\"45\" y1=\"40.0\" x2=\"50\" y2=\"40.0\" stroke=\"#555\"/>"),
              std::string::npos);
    EXPECT_NE(svg.find("<text x=\"1180\" y=\"296\" text-anchor=\"end\">time (s)</text>"),
              std::string::npos);
}

// The time axis is labelled on the first step of 1, 2 or 5 (then 10, 30, 60, 300 s)
// that gives at most twelve steps, from 0 to the end.
TEST(WaveformSvg, TimeTicksFallOnTheFirstStepThatGivesTwelveAtMost) {
    const std::pair<double, std::vector<std::string>> rows[] = {
        {0.05, {"0", "0.01", "0.02", "0.03", "0.04", "0.05"}},
        {24, {"0", "2", "4", "6", "8", "10", "12", "14", "16", "18", "20", "22", "24"}},
        {26, {"0", "5", "10", "15", "20", "25"}},
        {100, {"0", "10", "20", "30", "40", "50", "60", "70", "80", "90", "100"}},
        {200, {"0", "30", "60", "90", "120", "150", "180"}},
        {600, {"0", "60", "120", "180", "240", "300", "360", "420", "480", "540", "600"}},
        {1000, {"0", "300", "600", "900"}},
    };
    // Each label stands under its tick: a 5-pixel mark below the plot, at the same x.
    const std::regex label(
        "<line x1=\"([0-9.]+)\" y1=\"260\" x2=\"\\1\" y2=\"265\" stroke=\"#555\"/>\n"
        "<text x=\"\\1\" y=\"278\" text-anchor=\"middle\">([0-9.]+)</text>");
    for (const auto& [seconds, labels] : rows) {
        const std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * 8000), 1000);
        const std::string svg = tool::waveformSvg(samples, INT16_MIN, INT16_MAX, "t");
        std::vector<std::string> found;
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), label);
             it != std::sregex_iterator(); ++it) {
            found.push_back((*it)[2]);
        }
        EXPECT_EQ(found, labels) << seconds << " s";
    }
}

// A clipped run is marked red over the columns where it counts: from the one where it
// reaches three samples (not the one it starts in) to the one it ends in. With 11300
// samples each of the 1130 columns holds ten; the red bands are x 50 + column.
TEST(WaveformSvg, ClippedRunsAreMarkedFromTheColumnWhereTheyCount) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::size_t, std::size_t>> runs;  // first sample, length
        std::vector<std::pair<int, int>> bands;                 // x, width
    };
    const Case cases[] = {
        {"none", {}, {}},
        {"from the very first sample", {{0, 3}}, {{50, 1}}},
        {"starting two columns' ends before", {{18, 3}}, {{52, 1}}},
        {"two in a row are no run", {{30, 2}}, {}},
        {"going on into the next column", {{40, 13}}, {{54, 2}}},
        {"the plot's last three samples", {{11297, 3}}, {{1179, 1}}},
        {"two far apart", {{5, 3}, {9000, 30}}, {{50, 1}, {950, 3}}},
    };
    const std::regex band(
        R"re(<rect x="(\d+)" y="34" width="(\d+)" height="6" fill="#d62728"/>)re");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int16_t> samples(11300, 500);
        for (const auto& [first, length] : c.runs) {
            std::fill_n(samples.begin() + static_cast<std::ptrdiff_t>(first), length, 32767);
        }
        const std::string svg = tool::waveformSvg(samples, INT16_MIN, INT16_MAX, "t");
        std::vector<std::pair<int, int>> found;
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), band);
             it != std::sregex_iterator(); ++it) {
            found.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
        }
        EXPECT_EQ(found, c.bands);
    }
}

// Each column of the waveform shows the samples of its own stretch of time and no
// other: a lone loud sample shows in the columns whose stretch holds it, none beside.
TEST_F(QuenCheckInspect, TheWaveformShowsEachSampleInItsOwnColumns) {
    // Samples, the loud ones, and the columns (of 1130, 8 samples each for 9040) that
    // show them: the first sample of column 100, the last of column 200 and of the
    // plot; in a file shorter than the plot, each column shows the sample under its left
    // edge.
    const std::tuple<std::size_t, std::vector<std::size_t>, std::set<std::size_t>> cases[] = {
        {9040, {800, 1607, 9039}, {100, 200, 1129}},
        {400, {0, 200, 399}, {0, 1, 2, 565, 566, 567, 1128, 1129}},
    };
    for (const auto& [count, loud, columns] : cases) {
        SCOPED_TRACE(count);
        std::vector<std::int16_t> samples(count, 0);
        for (const std::size_t at : loud) {
            samples[at] = 16000;
        }
        convertToDataFile(samples);
        // A few clicks are no speech: a finding, and the picture drawn all the same.
        ASSERT_EQ(tool("inspect out.c11 --svg w.svg -y").exitCode, 1) << errors();
        const std::string svg = readText(path("w.svg"));
        // The min/max envelope's tops, left to right; silence decodes to 8, at y 150.0.
        const std::size_t at = svg.find("<polygon fill=\"#8fb8de\"");
        ASSERT_NE(at, std::string::npos);
        const std::string points = svg.substr(at, svg.find("/>", at) - at);
        const std::regex point("([0-9.]+),([0-9.]+) ");
        std::set<std::size_t> shown;
        std::size_t column = 0;
        for (auto it = std::sregex_iterator(points.begin(), points.end(), point);
             it != std::sregex_iterator() && column < 1130; ++it, ++column) {
            EXPECT_EQ(std::stod((*it)[1]), 50.5 + static_cast<double>(column));
            if (std::stod((*it)[2]) < 140) {
                shown.insert(column);
            }
        }
        EXPECT_EQ(column, 1130u);
        EXPECT_EQ(shown, columns);
        EXPECT_FALSE(std::regex_search(svg, std::regex(",-?nan"))) << "a column of no samples";
    }
}

}  // namespace
}  // namespace quen::test
