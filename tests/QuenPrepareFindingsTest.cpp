// What `quen prepare` finds in its input and its result: a result with no speech is
// refused and nothing is written unless asked for, in every mode; each finding comes
// with a prepare command, and that command, run as printed, leaves a result without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"

namespace quen::test {
namespace {

constexpr std::size_t RATE = 8000;
const std::string NOT_WRITTEN =
    ": no speech: nothing in it rises above silence; record it again; not written "
    "(--allow-silence writes it)\n";

std::vector<std::int16_t> joined(std::initializer_list<std::vector<std::int16_t>> parts) {
    std::vector<std::int16_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// Quiet speech with a 2 ms full-scale burst every half second: levelling the speech
// drives the bursts far over the ceiling.
std::vector<std::int16_t> peaky() {
    std::vector<std::int16_t> samples = speechAt(4, -32);
    for (std::size_t start = RATE / 4; start + 16 < samples.size(); start += RATE / 2) {
        for (std::size_t i = 0; i < 16; ++i) {
            samples[start + i] = static_cast<std::int16_t>(i % 4 < 2 ? 32000 : -32000);
        }
    }
    return samples;
}

class QuenPrepareFindings : public Quen {
  protected:
    struct Judged {
        int exitCode;
        std::vector<std::string> input;   // keys of the input's findings
        std::vector<std::string> output;  // and of the result's
        nlohmann::json report;
    };

    // `quen --json prepare` with `arguments` (a command as prepare prints it, less its
    // leading "quen ").
    Judged judged(const std::string& arguments) const {
        const ProgramResult result = tool("--json " + arguments);
        Judged judged{
            result.exitCode, {}, {}, nlohmann::json::parse(result.output, nullptr, false)};
        if (judged.report.is_object()) {
            for (const auto& finding : judged.report["input_findings"]) {
                judged.input.push_back(finding["key"]);
            }
            for (const auto& finding : judged.report["output_findings"]) {
                judged.output.push_back(finding["key"]);
            }
        }
        return judged;
    }

    // The command of the finding `key` in `list` of `report`, as printed.
    static std::string commandOf(const nlohmann::json& report, const char* list,
                                 const std::string& key) {
        for (const auto& finding : report[list]) {
            if (finding["key"] == key && finding["command"].is_string()) {
                return finding["command"];
            }
        }
        return {};
    }
};

TEST_F(QuenPrepareFindings, ASilentResultIsRefusedAndNothingIsWrittenUnlessAllowed) {
    writeBytes(path("silence.wav"), pcmWav(std::vector<std::int16_t>(5 * RATE)));
    // Speech after 3 s of silence, cut to its first second: the result is judged, not
    // the input.
    writeBytes(path("late.wav"),
               pcmWav(joined({std::vector<std::int16_t>(3 * RATE), speechAt(3, -19)})));
    for (const char* input : {"silence.wav", "late.wav --max-seconds 1"}) {
        SCOPED_TRACE(input);
        const std::string name = std::string(input).substr(0, std::string(input).find(' '));
        ProgramResult result = tool(std::string("prepare ") + input + " out.wav");
        EXPECT_EQ(std::make_pair(result.exitCode, result.output), std::make_pair(1, std::string()));
        EXPECT_EQ(errors(), "quen prepare: " + name + NOT_WRITTEN);
        EXPECT_FALSE(std::filesystem::exists(path("out.wav")));
        // An existing file is left as it was, and standard output gets no WAV bytes.
        writeText(path("earlier.wav"), "an earlier file");
        EXPECT_EQ(tool(std::string("prepare -y ") + input + " earlier.wav").exitCode, 1);
        EXPECT_EQ(readText(path("earlier.wav")), "an earlier file");
        result = tool(std::string("prepare ") + input + " -");
        EXPECT_EQ(std::make_pair(result.exitCode, result.output), std::make_pair(1, std::string()));
    }
    // Asked for, it is written and shown, and no problem.
    const Judged allowed = judged("prepare --allow-silence silence.wav out.wav");
    EXPECT_EQ(allowed.exitCode, 0);
    EXPECT_EQ(allowed.output, std::vector<std::string>{"no_speech"});
    EXPECT_EQ(pcm("out.wav").size(), 5 * RATE);
    EXPECT_EQ(errors(), "");

    // Many files and templates: the silent one alone is not written.
    writeBytes(path("good.wav"), pcmWav(speechAt(3, -19)));
    std::filesystem::create_directories(path("dir"));
    EXPECT_EQ(tool("prepare good.wav silence.wav --out-dir dir").exitCode, 1);
    EXPECT_EQ(errors(), "quen prepare: silence.wav" + NOT_WRITTEN);
    EXPECT_TRUE(std::filesystem::exists(path("dir/good.wav")));
    EXPECT_FALSE(std::filesystem::exists(path("dir/silence.wav")));
    std::filesystem::create_directories(path("raw"));
    std::filesystem::create_directories(path("wav"));
    std::filesystem::copy(path("silence.wav"), path("raw/silence.wav"));
    std::filesystem::copy(path("good.wav"), path("raw/good.wav"));
    writeText(path("t.xml"), configuration(attendant("A", greeting("menu", "good.wav") +
                                                              greeting("night", "silence.wav"))));
    EXPECT_EQ(tool("prepare -q --template t.xml --from raw --wav-dir wav").exitCode, 1);
    EXPECT_EQ(errors(), "quen prepare: raw/silence.wav" + NOT_WRITTEN);
    EXPECT_TRUE(std::filesystem::exists(path("wav/good.wav")));
    EXPECT_FALSE(std::filesystem::exists(path("wav/silence.wav")));
    EXPECT_EQ(
        tool("prepare -q -y --allow-silence --template t.xml --from raw --wav-dir wav").exitCode,
        0);
    EXPECT_TRUE(std::filesystem::exists(path("wav/silence.wav")));
}

// Each sound's findings before and after, the exit code they make, and the command of
// each: run as printed, its result is without that finding, and, but where it trades a
// level the user chose for the telephone's, without any problem.
TEST_F(QuenPrepareFindings, EachFindingNamesAPrepareThatRemovesIt) {
    // Loud enough to be turned down, so that the clipped runs stay under the ceiling.
    std::vector<std::int16_t> clipped = speechAt(4, -14);
    for (std::size_t i = 100; i + 8 < clipped.size(); i += 4000) {
        std::fill_n(clipped.begin() + static_cast<std::ptrdiff_t>(i), 5, 32767);
    }
    const std::vector<std::int16_t> ends =
        joined({std::vector<std::int16_t>(3 * RATE), speechAt(3, -19),
                std::vector<std::int16_t>(2 * RATE)});
    const std::vector<std::string> none;
    const std::vector<std::string> silences = {"leading_silence", "trailing_silence"};
    const struct {
        const char* name;
        std::vector<std::int16_t> samples;
        std::string options;
        std::vector<std::string> input;
        std::vector<std::string> output;
        int exitCode;
    } cases[] = {
        {"good", speechAt(4, -19), "", none, none, 0},
        // Levelled by this run, so the result is clean; kept as it is, it is still quiet,
        // but that was asked for.
        {"quiet", speechAt(4, -40), "", {"level"}, none, 0},
        {"kept", speechAt(4, -40), "--no-normalize", {"level"}, {"level"}, 0},
        {"ends", ends, "", silences, silences, 1},
        {"trimmed", ends, "--trim-silence", silences, none, 0},
        // The limiter bounds the peaks, so only the source was clipped.
        {"clipped", clipped, "", {"level", "clipping"}, none, 0},
        {"peaky", peaky(), "", none, {"limiting"}, 1},
        {"peaky loud", peaky(), "--loudness -16", none, {"level", "limiting"}, 1},
        {"peaky high", peaky(), "--level -14 --trim-silence", none, {"level", "limiting"}, 1},
    };
    for (const auto& [name, samples, options, input, output, exitCode] : cases) {
        SCOPED_TRACE(name);
        writeBytes(path("in.wav"), pcmWav(samples));
        const Judged first = judged("prepare -y " + options + " in.wav out.wav");
        EXPECT_EQ(first.input, input) << first.report.dump(1);
        EXPECT_EQ(first.output, output) << first.report.dump(1);
        EXPECT_EQ(first.exitCode, exitCode) << errors();
        for (const auto& [list, keys] :
             {std::pair{"input_findings", input}, std::pair{"output_findings", output}}) {
            for (const std::string& key : keys) {
                const std::string command = commandOf(first.report, list, key);
                SCOPED_TRACE(command);
                ASSERT_EQ(command.find("quen prepare -y "), 0u);
                // Trimming asked for is kept.
                EXPECT_EQ(command.find("--trim-silence") != std::string::npos,
                          options.find("--trim-silence") != std::string::npos ||
                              key.ends_with("_silence"));
                const Judged again = judged(command.substr(5));
                // A level other than the one asked for is a choice; levelled to the
                // telephone's, this sound is limited instead.
                if (!(key == "level" && std::string(list) == "output_findings")) {
                    EXPECT_EQ(again.exitCode, 0) << again.report.dump(1);
                }
                EXPECT_EQ(std::count(again.output.begin(), again.output.end(), key), 0);
            }
        }
    }
}

TEST_F(QuenPrepareFindings, TheTextReportShowsEachFindingOnceUnderWhatItIsAbout) {
    writeBytes(path("in.wav"), pcmWav(peaky()));
    const ProgramResult result = tool("prepare in.wav out.wav");
    EXPECT_EQ(result.exitCode, 1);
    const std::string& text = result.output;
    const auto at = [&](const std::string& line) { return text.find(line); };
    const std::size_t gain = at("\n  gain      ");
    const std::size_t output = at("\n  output    speech ");
    const std::size_t limited = at("\n  finding   limited: peaks held down by up to ");
    const std::size_t command = at("\n  do        quen prepare -y --level -");
    const std::size_t wrote = at("\n  wrote     ");
    ASSERT_NE(limited, std::string::npos) << text;
    EXPECT_LT(gain, output);
    EXPECT_LT(output, limited);
    EXPECT_LT(limited, command);
    EXPECT_LT(command, wrote);
    EXPECT_EQ(text.find("limited", limited + 20), std::string::npos) << text;
    // The source's clipping: a warning and a finding, but no line of its own besides.
    std::vector<std::int16_t> clipped = speechAt(4, -19);
    std::fill_n(clipped.begin() + 1000, 5, 32767);
    writeBytes(path("clipped.wav"), pcmWav(clipped));
    const std::string report = tool("prepare clipped.wav clipped-out.wav").output;
    EXPECT_EQ(report.find("  clipped "), std::string::npos) << report;
    // Under the input, before the gain.
    const std::size_t finding = report.find("\n  finding   clipped: 5 samples at full scale");
    EXPECT_LT(report.find("\n  input     speech "), finding) << report;
    EXPECT_LT(finding, report.find("\n  gain      ")) << report;
    EXPECT_EQ(errors(),
              "quen prepare: clipped.wav: warning: 5 samples at full scale, 1 run (5 samples) of "
              "3 or more in a row; clipping cannot be undone, record it again at a lower level "
              "if you can\n");
}

}  // namespace
}  // namespace quen::test
