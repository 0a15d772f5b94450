// `quen prepare` end to end: every kind of speech recording reaches the level target with
// its true peak under the ceiling and survives both codecs without a full-scale sample;
// the overwrite rule, standard output and quiet; many files and whole templates, after
// which both batch modes convert every greeting.
//
// The speech is synthesised by ffmpeg: six harmonics of a 140 Hz voice under a 4 Hz
// syllable envelope, switched off for pauses 0.7 times a second, so it has speech's
// activity factor and crest factor without a recording in the repository.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "dsp/SpeechLevel.h"
#include "dsp/TruePeak.h"
#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

const std::string SPEECH =
    "gt(sin(2*PI*0.7*t),-0.3)*(0.5+0.5*sin(2*PI*4*t))*(sin(2*PI*140*t)+0.6*sin(2*PI*280*t)"
    "+0.4*sin(2*PI*420*t)+0.3*sin(2*PI*700*t+1)+0.2*sin(2*PI*1100*t+2)+0.1*sin(2*PI*2300*t))";

class QuenPrepare : public Quen {
  protected:
    static bool reachesFullScale(const std::vector<std::int16_t>& samples) {
        return std::any_of(samples.begin(), samples.end(),
                           [](std::int16_t s) { return s >= 32767 || s <= -32767; });
    }

    // Converts `wav` with QuenGreeting in `format` and decodes the data file again with
    // `quen inspect --wav`; the decoded samples.
    std::vector<std::int16_t> throughCodec(const std::string& wav, const std::string& format) {
        const std::string data = "out-" + format + ".cxx";
        EXPECT_EQ(run({"/convert:" + wav, "Box", "Rec", format, data, "log.txt"}).exitCode, 0)
            << readText(path("log.txt"));
        // Findings about the sound (1) still decode; only trouble (2) writes nothing.
        EXPECT_LE(tool("inspect " + data + " -y --wav decoded.wav").exitCode, 1) << errors();
        return pcm("decoded.wav");
    }

    // A file of the ffmpeg-made speech, `seconds` long, `scale` times full scale.
    void speech(double scale, double seconds, const std::string& output) {
        ffmpeg(std::to_string(scale) + "*" + SPEECH, seconds, output);
    }
};

// Every format, and the sources that make a limiter or a gain work hardest: the
// report's numbers and the file's own measures.
TEST_F(QuenPrepare, EveryKindOfSpeechReachesTheLevelUnderTheCeilingAndSurvivesBothCodecs) {
    const struct {
        const char* name;
        std::string make;  // ffmpeg's options and file
        std::string expression = "0.2*" + SPEECH;
        double seconds = 4;
        std::vector<std::string> found = {};  // keys of the result's findings
    } cases[] = {
        {"44.1 kHz stereo", "-ac 2 in.wav"},
        {"48 kHz 24-bit", "-ar 48000 -c:a pcm_s24le in.wav"},
        {"MP3", "in.mp3"},
        {"M4A", "-c:a aac in.m4a"},
        {"Ogg", "-c:a libvorbis in.ogg"},
        {"FLAC", "in.flac"},
        {"accepted 8 kHz", "-ar 8000 in.wav"},
        {"-40 dB", "in.wav", "0.01*" + SPEECH},
        // Driven three times past full scale and cut off there.
        {"clipped", "in.wav", "max(-1,min(1,3*" + SPEECH + "))"},
        // Left untrimmed, the silence is a finding of the result.
        {"3 s of silence at each end",
         "in.wav",
         "gte(t,3)*lt(t,7)*0.2*" + SPEECH,
         10,
         {"leading_silence", "trailing_silence"}},
        // A full-scale 2 ms click every half second over quiet speech: 20 dB and more
        // of crest factor.
        {"20 dB crest factor",
         "in.wav",
         "0.05*" + SPEECH + "+0.95*lt(mod(t,0.5),0.002)*sin(2*PI*1000*t)",
         4,
         {"limiting"}},
    };
    for (const auto& [name, make, expression, seconds, found] : cases) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(dir());
        std::filesystem::create_directory(dir());
        ffmpeg(expression, seconds, make);
        const std::string in = make.substr(make.rfind(' ') + 1);
        const ProgramResult result = tool("--json prepare " + in + " out.wav");
        ASSERT_EQ(result.exitCode, found.empty() ? 0 : 1) << errors() << result.output;
        const nlohmann::json report = nlohmann::json::parse(result.output);
        std::vector<std::string> keys;
        for (const nlohmann::json& finding : report["output_findings"]) {
            keys.push_back(finding["key"]);
        }
        EXPECT_EQ(keys, found);
        const nlohmann::json out = report["output_levels"];
        EXPECT_NEAR(out["active_speech_level_dbm0"].get<double>(), -19.0, 0.5) << result.output;
        EXPECT_LE(out["true_peak_dbfs"].get<double>(), -3.0);
        const std::vector<std::int16_t> prepared = pcm("out.wav");
        EXPECT_NEAR(*measureSpeechLevel(prepared).activeLevelDbm0, -19.0, 0.5);
        TruePeakMeter peak;
        std::vector<float> floats(prepared.begin(), prepared.end());
        std::transform(floats.begin(), floats.end(), floats.begin(),
                       [](float s) { return s / 32767.0f; });
        peak.add(floats);
        EXPECT_LE(peak.truePeakDbfs(), -3.0);
        EXPECT_FALSE(reachesFullScale(throughCodec("out.wav", "g723")));
        EXPECT_FALSE(reachesFullScale(throughCodec("out.wav", "alaw")));
    }
}

TEST_F(QuenPrepare, ClippingInTheSourceIsCountedInItsOwnFormatAndWarnedAbout) {
    // A quiet 8 kHz sine with three flat runs: 3 and 5 samples long, which count as runs,
    // and one of 2, which does not, though its samples are at full scale too. The run of
    // 5 ends on the first sample of a packet of 2048 samples, the only one at full scale
    // there.
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 8000; ++i) {
        samples.push_back(static_cast<std::int16_t>(8000 * std::sin(i * 0.3)));
    }
    std::fill_n(samples.begin() + 1000, 3, 32767);
    std::fill_n(samples.begin() + 4092, 5, -32768);
    std::fill_n(samples.begin() + 7000, 2, 32767);
    writeBytes(path("s16.wav"), pcmWav(samples));
    // In 24 bits the top of 16 lies a step under full scale: only the run at the bottom
    // counts there. (8-bit and stereo sources, decoded the same way, are counted by the
    // check of a refused recording.)
    ASSERT_EQ(shell("ffmpeg -v error -i s16.wav -c:a pcm_f32le f32.wav"), 0);
    ASSERT_EQ(shell("ffmpeg -v error -i s16.wav -c:a pcm_s24le s24.wav"), 0);
    for (const auto& [file, runs] :
         {std::pair{"s16.wav", 2}, std::pair{"f32.wav", 2}, std::pair{"s24.wav", 1}}) {
        SCOPED_TRACE(file);
        const ProgramResult result = tool(std::string("--json prepare -y ") + file + " out.wav");
        ASSERT_EQ(result.exitCode, 0) << errors();
        const nlohmann::json source = nlohmann::json::parse(result.output)["source"];
        EXPECT_EQ(source["clipped_runs"], runs);
        const int samplesInRuns = std::string(file) == "s24.wav" ? 5 : runs * 4;
        EXPECT_EQ(source["clipped_run_samples"], samplesInRuns);
        const int fullScale = std::string(file) == "s24.wav" ? 5 : 10;
        EXPECT_EQ(source["clipped_samples"], fullScale);
        EXPECT_EQ(errors(), "quen prepare: " + std::string(file) +
                                ": warning: " + std::to_string(fullScale) +
                                " samples at full scale, " + std::to_string(runs) +
                                (runs == 1 ? " run (" : " runs (") + std::to_string(samplesInRuns) +
                                " samples) of 3 or more in a row; clipping cannot be undone, "
                                "record it again at a lower level if you can\n");
    }
    // The same sound without the runs: the 2 samples still warn; without them, nothing.
    std::fill_n(samples.begin() + 1000, 3, 100);
    std::fill_n(samples.begin() + 4092, 5, 100);
    writeBytes(path("two.wav"), pcmWav(samples));
    EXPECT_EQ(tool("prepare -q two.wav two-out.wav").exitCode, 0);
    EXPECT_EQ(errors(),
              "quen prepare: two.wav: warning: 2 samples at full scale, no runs of 3 "
              "or more in a row; clipping cannot be undone, record it again at a "
              "lower level if you can\n");
    std::fill_n(samples.begin() + 7000, 2, 100);
    writeBytes(path("clean.wav"), pcmWav(samples));
    EXPECT_EQ(tool("prepare -q clean.wav clean-out.wav").exitCode, 0);
    EXPECT_EQ(errors(), "");
    // A stream that turns from mono to stereo, two MP3 streams one after the other, keeps
    // the runs counted before the change: a full-scale square rings over the top.
    const std::string mp3 = " -c:a libmp3lame -id3v2_version 0 -write_id3v1 0 -write_xing 0 ";
    ffmpeg("if(lt(mod(t,0.01),0.005),1,-1)", 1, "-ac 1" + mp3 + "mono.mp3");
    ffmpeg("0.1*sin(2*PI*440*t)", 1, "-ac 2" + mp3 + "stereo.mp3");
    ASSERT_EQ(shell("cat mono.mp3 stereo.mp3 >both.mp3"), 0);
    const auto runsIn = [this](const std::string& file) {
        const ProgramResult result = tool("--json prepare -y " + file + " out.wav");
        return nlohmann::json::parse(result.output)["source"]["clipped_runs"].get<int>();
    };
    EXPECT_GT(runsIn("mono.mp3"), 0);
    EXPECT_EQ(runsIn("both.mp3"), runsIn("mono.mp3"));
}

// Stereo whose channels cancel in the mix, one the other inverted, wholly or in part:
// beyond 10 dB of cancelling, the louder channel alone is prepared, and said so.
TEST_F(QuenPrepare, ChannelsThatCancelArePreparedFromTheLouderOne) {
    // 0.38 of SPEECH peaks at about -3 dBFS.
    const struct {
        const char* name;
        double left;
        double right;
        const char* taken;  // the text's end, or none
    } cases[] = {
        {"out of phase", 0.38, -0.38,
         "their mix is silent, channel 1 is not; taken from "
         "channel 1 alone"},
        {"right louder", -0.2, 0.25,
         "their mix lies 20.0 dB below channel 2 (over 10 dB); "
         "taken from channel 2 alone"},
        {"10.5 dB", 0.25, -0.1,
         "their mix lies 10.5 dB below channel 1 (over 10 dB); taken "
         "from channel 1 alone"},
        {"9.5 dB", 0.25, -0.0832, nullptr},
        {"in phase", 0.25, 0.25, nullptr},
    };
    for (const auto& [name, left, right, taken] : cases) {
        SCOPED_TRACE(name);
        ffmpeg(std::to_string(left) + "*" + SPEECH + "|" + std::to_string(right) + "*" + SPEECH,
               9.4, "in.wav");
        const ProgramResult result = tool("--json prepare -y in.wav out.wav");
        ASSERT_EQ(result.exitCode, 0) << errors() << result.output;
        const nlohmann::json report = nlohmann::json::parse(result.output);
        EXPECT_NEAR(report["output_levels"]["active_speech_level_dbm0"].get<double>(), -19.0, 0.5);
        EXPECT_NEAR(*measureSpeechLevel(pcm("out.wav")).activeLevelDbm0, -19.0, 0.5);
        const nlohmann::json& found = report["input_findings"];
        if (taken == nullptr) {
            EXPECT_TRUE(found.empty() || found[0]["key"] != "channels_cancel") << found;
            continue;
        }
        ASSERT_FALSE(found.empty());
        EXPECT_EQ(found[0]["key"], "channels_cancel");
        EXPECT_EQ(found[0]["text"], std::string("channels cancel: ") + taken);
        EXPECT_TRUE(found[0]["command"].is_null());
    }
    // Standard input is read twice as well: from the copy kept of it.
    ffmpeg("0.38*" + SPEECH + "|-0.38*" + SPEECH, 9.4, "in.wav");
    const ProgramResult piped = tool("--json prepare -y - out.wav <in.wav");
    ASSERT_EQ(piped.exitCode, 0) << errors();
    const nlohmann::json report = nlohmann::json::parse(piped.output);
    EXPECT_EQ(report["input_findings"][0]["key"], "channels_cancel");
    EXPECT_NEAR(*measureSpeechLevel(pcm("out.wav")).activeLevelDbm0, -19.0, 0.5);
}

TEST_F(QuenPrepare, AnExistingOutIsReplacedOnlyWhenItIsInOrWithOverwrite) {
    speech(0.2, 1, "original.mp3");
    const Bytes mp3 = readBytes(path("original.mp3"));
    writeText(path("prepared.wav"), "an earlier file");
    // The arguments swapped: the MP3 is OUT and stays as it was.
    ProgramResult result = tool("prepare prepared.wav original.mp3");
    EXPECT_EQ(std::make_pair(result.exitCode, result.output), std::make_pair(2, std::string()));
    EXPECT_EQ(errors(),
              "quen prepare: original.mp3: exists already; give -y (--overwrite) to replace it\n");
    EXPECT_EQ(readBytes(path("original.mp3")), mp3);
    EXPECT_EQ(tool("prepare original.mp3 prepared.wav").exitCode, 2);
    EXPECT_EQ(readText(path("prepared.wav")), "an earlier file");
    ASSERT_EQ(tool("prepare -y original.mp3 prepared.wav").exitCode, 0) << errors();
    // IN itself, under another spelling or through a link, is prepared in place.
    std::filesystem::create_symlink("prepared.wav", path("link.wav"));
    EXPECT_EQ(tool("prepare ./prepared.wav link.wav").exitCode, 0) << errors();
    EXPECT_EQ(tool("prepare link.wav prepared.wav").exitCode, 0) << errors();
}

// A source's peaks are read on its own samples at its own rate, by check and prepare
// alike: a 12 kHz tone at 48 kHz, sampled off its crests, has a true peak 3 dB over its
// sample peak, and none of it is left once resampled to 8 kHz. A clipped 8 kHz file,
// which check reads itself and prepare through its decoder, reads the same in both. The
// activity factor is given in the same rounding by both.
TEST_F(QuenPrepare, TheSourcesPeaksAreReadAsCheckReadsThem) {
    std::vector<std::int16_t> stereo;
    for (int n = 0; n < 48000; ++n) {
        stereo.push_back(static_cast<std::int16_t>(
            std::lround(16384 * std::sin(M_PI / 2 * n + M_PI / 4))));  // 12 kHz, crests between
        stereo.push_back(static_cast<std::int16_t>(
            std::lround(3277 * std::sin(2 * M_PI * 1000 * n / 48000))));  // speech stands in
    }
    writeBytes(
        path("tone.wav"),
        wavFile(join({formatChunkFor(1, 2, 48000, 16), chunk("data", sampleBytes(stereo))})));
    std::vector<std::int16_t> clipped = speechAt(2.0, -19.0);
    for (std::size_t i = 4000; i < 4040; ++i) {
        clipped[i] = i % 2 == 0 ? 32767 : -32768;
    }
    writeBytes(path("clipped.wav"), pcmWav(clipped));

    struct Case {
        const char* file;
        double peakDbfs;
        double truePeakDbfs;
    };
    for (const Case& expected : {Case{"tone.wav", -9.03, -6.02}, Case{"clipped.wav", 0.0, NAN}}) {
        SCOPED_TRACE(expected.file);
        const auto json = [&](const std::string& command) {
            return nlohmann::json::parse(tool("--json " + command).output, nullptr, false);
        };
        const nlohmann::json checked =
            json(std::string("check ") + expected.file)["files"][0]["levels"];
        const nlohmann::json prepared =
            json(std::string("prepare -y ") + expected.file + " out.wav")["input_levels"];
        ASSERT_TRUE(checked.is_object() && prepared.is_object()) << errors();
        EXPECT_EQ(prepared["peak_dbfs"], checked["peak_dbfs"]);
        EXPECT_EQ(prepared["true_peak_dbfs"], checked["true_peak_dbfs"]);
        EXPECT_EQ(prepared["activity_factor"], checked["activity_factor"]);
        EXPECT_NEAR(prepared["peak_dbfs"].get<double>(), expected.peakDbfs, 0.01);
        if (!std::isnan(expected.truePeakDbfs)) {
            EXPECT_NEAR(prepared["true_peak_dbfs"].get<double>(), expected.truePeakDbfs, 0.2);
        } else {
            EXPECT_GT(prepared["true_peak_dbfs"].get<double>(), 0.0);
        }
        EXPECT_TRUE(prepared["loudness_lufs"].is_number());
    }
}

TEST_F(QuenPrepare, DashIsStandardOutputAndQuietLeavesOnlyFailures) {
    speech(0.2, 1, "in.wav");
    ASSERT_EQ(tool("prepare -q in.wav out.wav").exitCode, 0);
    ProgramResult result = tool("prepare -q in.wav out.wav");
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(errors(),
              "quen prepare: out.wav: exists already; give -y (--overwrite) to replace it\n");
    result = tool("prepare in.wav -");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Bytes(result.output.begin(), result.output.end()), readBytes(path("out.wav")));
    // The report goes to standard error then, unless -q; each figure in its format.
    EXPECT_TRUE(std::regex_match(
        errors(),
        std::regex(
            "in.wav: wav \\(WAV / WAVE \\(Waveform Audio\\)\\), pcm_s16le 16-bit, 44100 Hz, "
            "1 channel, 1.00 s\n"
            "  input     speech -\\d+\\.\\d dBm0, activity \\d+ %, loudness -\\d+\\.\\d LUFS, "
            "peak -\\d+\\.\\d\\d dBFS, true peak -\\d+\\.\\d\\d dBFS\n"
            "  gain      [+-]\\d+\\.\\d dB to -19.0 dBm0\n"
            "  output    speech -19\\.\\d dBm0, activity \\d+ %, loudness -\\d+\\.\\d LUFS, "
            "peak -\\d+\\.\\d\\d dBFS, true peak -\\d+\\.\\d\\d dBFS\n"
            "  wrote     standard output: PCM 8000 Hz 16-bit mono, 1.00 s\n")))
        << errors();
    // With --json it is the document a named output prints there.
    ASSERT_EQ(tool("--json prepare in.wav -").exitCode, 0);
    const std::string onError = errors();
    EXPECT_EQ(onError, std::regex_replace(tool("--json prepare -y in.wav out.wav").output,
                                          std::regex("\"out\\.wav\""), "\"-\""));
    // Levelled by loudness, the loudness is shown at both ends, to a tenth.
    EXPECT_TRUE(std::regex_search(
        tool("prepare -y in.wav out.wav --loudness -20").output,
        std::regex("\n  input     speech -\\d+\\.\\d dBm0, activity \\d+ %, loudness -\\d+\\.\\d "
                   "LUFS, peak .*\n  gain      [+-]\\d+\\.\\d dB to -20.0 LUFS.*\n.* loudness "
                   "-20\\.\\d LUFS, peak ")));
    EXPECT_EQ(tool("prepare -q in.wav -").output.size(), readBytes(path("out.wav")).size());
    EXPECT_EQ(errors(), "");
    // A limit of 0 seconds is refused in words.
    EXPECT_EQ(tool("prepare in.wav x.wav --max-seconds 0").exitCode, 2);
    EXPECT_NE(errors().find("0: must be more than 0 and at most 14400 seconds"), std::string::npos)
        << errors();
}

TEST_F(QuenPrepare, AProgressLineOnATerminalIsClearedBeforeTheReport) {
    // 70 s: long enough for a progress line; cut early, so that it never passes 0 %.
    std::vector<std::int16_t> tone(70 * 8000);
    for (std::size_t i = 0; i < tone.size(); ++i) {
        tone[i] = static_cast<std::int16_t>(3000 * std::sin(0.3 * static_cast<double>(i)));
    }
    writeBytes(path("long.wav"), pcmWav(tone));
    // script(1) gives the program a terminal and writes what the terminal is sent.
    ASSERT_EQ(shell("script -qec '" QUEN_TOOL_BINARY
                    " prepare long.wav out.wav --max-seconds 0.5' /dev/null >tty.txt"),
              0);
    const std::string shown = readText(path("tty.txt"));
    EXPECT_TRUE(shown.starts_with("\rquen prepare: reading long.wav 0%\r\033[Klong.wav: wav ("))
        << shown;
}

TEST_F(QuenPrepare, ManyFilesAreReportedInArgumentOrderAndOneFailureDoesNotStopTheRest) {
    std::filesystem::create_directory(path("out"));
    speech(0.2, 1, "b.mp3");
    speech(0.1, 1, "a.flac");
    writeText(path("broken.wav"), "not sound");
    const ProgramResult result = tool("--json prepare b.mp3 broken.wav a.flac --out-dir out");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(errors().starts_with("quen prepare: broken.wav: not a recording")) << errors();
    const nlohmann::json reports = nlohmann::json::parse(result.output);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0]["input"], "b.mp3");
    EXPECT_EQ(reports[1]["output"], "out/a.wav");
    EXPECT_TRUE(std::filesystem::exists(path("out/b.wav")));
    EXPECT_FALSE(std::filesystem::exists(path("out/broken.wav")));
    // Two inputs to one output: refused before anything is written.
    EXPECT_EQ(tool("prepare -y a.flac sub/a.mp3 --out-dir out").exitCode, 2);
    EXPECT_EQ(errors(), "quen prepare: a.flac and sub/a.mp3 would both be written to out/a.wav\n");
}

TEST_F(QuenPrepare, AWholeTemplateIsPreparedFromMixedSourcesAndEveryGreetingConverts) {
    const char* extensions[] = {"mp3", "flac", "ogg", "m4a", "wav"};
    std::filesystem::create_directories(path("raw/sub"));
    std::filesystem::create_directories(path("wav"));
    std::filesystem::create_directories(path("res"));
    speech(0.3, 2, "-ac 2 source.wav");
    std::string greetings;
    const char* kinds[] = {"morning", "afternoon", "evening", "menu"};
    for (int i = 0; i < 20; ++i) {
        // The last one lives in a folder, named with the backslash of the template.
        const std::string stem =
            (i == 19 ? "sub/" : "") + std::string("greeting-") + std::to_string(i);
        const std::string name =
            (i == 19 ? "sub\\" : "") + ("greeting-" + std::to_string(i)) + ".wav";
        ASSERT_EQ(shell("ffmpeg -v error -i source.wav raw/" + stem + "." + extensions[i % 5]), 0);
        if (i % 4 == 0) {
            greetings += "</Greetings></AutoAttendant><AutoAttendant><AAName>Desk " +
                         std::to_string(i) + "</AAName><Greetings>";
        }
        greetings += greeting(kinds[i % 4], name);
    }
    // The first recording twice: prepared once.
    writeText(path("t.xml"),
              configuration(attendant("First", greeting("menu", "greeting-0.wav") + greetings)));
    const ProgramResult result = tool("--json prepare --template t.xml --from raw --wav-dir wav");
    ASSERT_EQ(result.exitCode, 0) << errors();
    EXPECT_EQ(nlohmann::json::parse(result.output)["prepared"].size(), 20u);
    EXPECT_TRUE(std::filesystem::exists(path("wav/sub/greeting-19.wav")));
    // A missing folder is made as the test made wav/: 0777 less the umask.
    EXPECT_EQ(std::filesystem::status(path("wav/sub")).permissions(),
              std::filesystem::status(path("wav")).permissions());
    for (const char* mode : {"/batch1:t.xml", "/batch2:t.xml"}) {
        SCOPED_TRACE(mode);
        std::filesystem::remove_all(path("res"));
        // Mode 2 writes below the result directory as the recording lies below the wav
        // directory; the folder is the administrator's to make.
        std::filesystem::create_directories(path("res/sub"));
        EXPECT_EQ(run({mode, "wav", "res", "log.txt"}).exitCode, 0);
        const std::string log = readText(path("log.txt"));
        // Two conversions of each of the 21 greetings, and nothing but their first lines.
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 42) << log;
        EXPECT_EQ(log.find("rror"), std::string::npos) << log;
        // Mode 1 names the data files after the 21 greetings, mode 2 after the 20 recordings.
        const auto files =
            std::count_if(std::filesystem::recursive_directory_iterator(path("res")), {},
                          [](const auto& entry) { return entry.is_regular_file(); });
        EXPECT_EQ(files, std::string(mode) == "/batch1:t.xml" ? 42 : 40);
    }
    // A recording with no source, and one that would be written outside the wav
    // directory, are named; exit 1.
    writeText(path("t2.xml"),
              configuration(attendant(
                  "A", greeting("menu", "nowhere.wav") + greeting("menu", "..\\greeting-1.wav"))));
    EXPECT_EQ(tool("prepare --template t2.xml --from raw --wav-dir wav").exitCode, 1);
    EXPECT_EQ(errors(),
              "quen prepare: nowhere.wav: no source: neither raw/nowhere.wav nor a file "
              "raw/nowhere.*\n"
              "quen prepare: ..\\greeting-1.wav: leads out of the wav directory; not prepared\n");
    EXPECT_FALSE(std::filesystem::exists(path("greeting-1.wav")));
}

}  // namespace
}  // namespace quen::test
