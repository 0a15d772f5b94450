// Findings end to end: sounds with known faults made at test time, each found by `quen
// check` in its recording and by `quen inspect` in the A-law and G.723.1 data files
// QuenGreeting makes of it, listed by `quen report`; and the command each prints, pasted
// into a shell, removes what it found.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "codec/Codec.h"
#include "datafile/DataFileLayout.h"
#include "dsp/SpeechLevel.h"
#include "tests/QuenFixture.h"
#include "tests/TestFiles.h"
#include "tests/TestSignals.h"

namespace quen::test {
namespace {

constexpr std::size_t RATE = 8000;

std::vector<std::int16_t> joined(std::initializer_list<std::vector<std::int16_t>> parts) {
    std::vector<std::int16_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct Sound {
    const char* name;
    std::vector<std::int16_t> samples;
    std::vector<std::string> check;  // the keys each command finds, in order
    std::vector<std::string> alaw;
    std::vector<std::string> g723;
    bool mendable;  // the printed command removes every finding
};

std::vector<Sound> sounds() {
    std::mt19937 generator(3);
    std::uniform_int_distribution<int> step(0, 1);
    // Triangular dither of one 16-bit step, as a converter leaves silence.
    std::vector<std::int16_t> dithered(5 * RATE);
    for (std::int16_t& sample : dithered) {
        sample = static_cast<std::int16_t>(step(generator) - step(generator));
    }
    std::vector<std::int16_t> offset = speechAt(6, -19);
    for (std::int16_t& sample : offset) {
        sample = static_cast<std::int16_t>(sample + 400);
    }
    // Full scale in runs of one and two only, none of the three a run needs.
    std::vector<std::int16_t> clipped = speechAt(6, -19);
    for (std::size_t i = 100; i + 1 < clipped.size(); i += 400) {
        clipped[i] = 32767;
        if (i % 800 == 100) {
            clipped[i + 1] = 32767;
        }
    }
    const std::vector<std::string> none;
    const std::vector<std::string> noSpeech = {"no_speech"};
    const std::vector<std::string> ends = {"leading_silence", "trailing_silence"};
    const std::vector<std::string> level = {"level"};
    return {
        {"good", speechAt(6, -19), none, none, none, true},
        {"silence", std::vector<std::int16_t>(5 * RATE), noSpeech, noSpeech, noSpeech, false},
        {"dithered", dithered, noSpeech, noSpeech, noSpeech, false},
        {"ends",
         joined({std::vector<std::int16_t>(6 * RATE), speechAt(4, -19),
                 std::vector<std::int16_t>(12 * RATE)}),
         ends, ends, ends, true},
        {"quiet", speechAt(6, -58), level, level, level, true},
        // G.723.1 passes no offset, and its peaks stay under full scale.
        {"offset", offset, {"dc_offset"}, {"dc_offset"}, none, true},
        {"clipped", clipped, {"clipping"}, {"clipping"}, none, true},
    };
}

class QuenFindings : public Quen {
  protected:
    void SetUp() override {
        Quen::SetUp();
        for (const Sound& sound : sounds()) {
            writeBytes(path(std::string(sound.name) + ".wav"), pcmWav(sound.samples));
        }
    }

    // `command` run as a person pastes it into bash, which reads the $'...' form names
    // with control characters are shown in, with both programs on the path.
    int paste(const std::string& command) const {
        writeText(path("pasted.sh"), command + "\n");
        const std::string bin = std::filesystem::path(QUEN_TOOL_BINARY).parent_path().string();
        return shell("PATH='" + bin + "':\"$PATH\" bash pasted.sh >/dev/null 2>&1");
    }

    // The findings of `file` by `command` ("check" or "inspect"): the keys, and the
    // command of the first that has one.
    std::pair<std::vector<std::string>, std::string> findings(const std::string& command,
                                                              const std::string& file) const {
        const ProgramResult result = tool("--json " + command + " " + file);
        const auto document = nlohmann::json::parse(result.output, nullptr, false);
        std::vector<std::string> keys;
        std::string fix;
        for (const auto& finding : document["files"][0]["findings"]) {
            keys.push_back(finding["key"]);
            if (fix.empty() && finding["command"].is_string()) {
                fix = finding["command"];
            }
        }
        return {keys, fix};
    }

    void convert(const std::string& name, const char* format, const std::string& out) const {
        ASSERT_EQ(run({"/convert:" + name + ".wav", "Box", name, format, out, "log.txt"}).exitCode,
                  0);
    }
};

TEST_F(QuenFindings, CheckFindsEachFaultInTextAndJsonAndItsCommandMendsIt) {
    for (const Sound& sound : sounds()) {
        const std::string wav = std::string(sound.name) + ".wav";
        SCOPED_TRACE(wav);
        const auto [keys, fix] = findings("check", wav);
        EXPECT_EQ(keys, sound.check);
        const ProgramResult text = tool("check " + wav);
        EXPECT_EQ(text.exitCode, keys.empty() ? 0 : 1);
        const std::size_t count = keys.size();
        EXPECT_TRUE(text.output.starts_with(
            wav + ": accepted" +
            (count == 0 ? std::string()
                        : ", " + std::to_string(count) + (count == 1 ? " finding" : " findings")) +
            "\n"))
            << text.output;
        EXPECT_EQ(text.output.find("\n  finding    ") != std::string::npos, count > 0);
        if (!fix.empty()) {
            EXPECT_NE(text.output.find("\n  do         " + fix + "\n"), std::string::npos);
        }
        // -q leaves out only what has nothing to say.
        EXPECT_EQ(tool("check -q " + wav).output.empty(), count == 0);
        if (!sound.mendable || count == 0) {
            EXPECT_TRUE(fix.empty()) << fix;
            continue;
        }
        const std::string prepared = std::string(sound.name) + "-prepared.wav";
        ASSERT_EQ(fix.find("quen prepare "), 0u) << fix;
        // Prepare may find its own limiting (1), but writes.
        ASSERT_LE(paste(fix), 1) << fix;
        EXPECT_EQ(findings("check", prepared).first, std::vector<std::string>{}) << fix;
        EXPECT_EQ(tool("check " + prepared).exitCode, 0);
        // Pasted again, it replaces nothing: the file exists.
        EXPECT_EQ(paste(fix), 2);
    }
}

// Channels that cancel mix to nothing: check measures the louder one, as prepare takes
// it, so what it finds is the cancelling and not silence; its command mends it.
TEST_F(QuenFindings, CheckMeasuresCancellingChannelsAsPrepareTakesThem) {
    std::vector<std::int16_t> stereo;
    for (const std::int16_t sample : speechAt(6, -19)) {
        stereo.push_back(sample);
        stereo.push_back(static_cast<std::int16_t>(-sample));
    }
    writeBytes(path("cancel.wav"),
               wavFile(join({formatChunkFor(1, 2, RATE, 16), chunk("data", sampleBytes(stereo))})));
    const auto [keys, fix] = findings("check", "cancel.wav");
    EXPECT_EQ(keys, std::vector<std::string>{"channels_cancel"});
    const ProgramResult text = tool("check cancel.wav");
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_TRUE(std::regex_search(
        text.output,
        std::regex("\\n  speech     -1[89]\\.\\d\\d dBm0.*\\n(.*\\n)*  finding    channels "
                   "cancel: their mix is silent, channel [12] is not; taken from "
                   "channel [12] alone\\n  do         quen prepare cancel.wav "
                   "cancel-prepared.wav\\n")))
        << text.output;
    ASSERT_EQ(paste(fix), 0) << fix;
    EXPECT_EQ(findings("check", "cancel-prepared.wav").first, std::vector<std::string>{});
    EXPECT_EQ(tool("check cancel-prepared.wav").exitCode, 0);
}

TEST_F(QuenFindings, InspectFindsThemInEveryCodecAndItsCommandsMakeTheFileAgain) {
    for (const Sound& sound : sounds()) {
        SCOPED_TRACE(sound.name);
        const std::string name = sound.name;
        convert(name, "alaw", name + ".c11");
        convert(name, "g723", name + ".c23");
        for (const auto& [file, expected] :
             {std::pair(name + ".c11", sound.alaw), std::pair(name + ".c23", sound.g723)}) {
            SCOPED_TRACE(file);
            const auto [keys, fix] = findings("inspect", file);
            EXPECT_EQ(keys, expected);
            const ProgramResult text = tool("inspect " + file);
            // A finding is a problem found, as an invalid file is.
            EXPECT_EQ(text.exitCode, keys.empty() ? 0 : 1);
            EXPECT_EQ(text.output.find("\n  finding             ") != std::string::npos,
                      !keys.empty());
            if (fix.empty()) {
                continue;
            }
            EXPECT_NE(text.output.find("\n  do                  " + fix + "\n"), std::string::npos);
            ASSERT_EQ(paste(fix), 0) << fix;
            const auto [after, again] = findings("inspect", file);
            for (const std::string& key : keys) {
                // G.723.1 reads a level of its own (it keeps speech, not this noise).
                if (key != "level" || file.ends_with(".c11")) {
                    EXPECT_EQ(std::count(after.begin(), after.end(), key), 0) << key << " " << fix;
                }
            }
            // The data file was made again under its own names.
            const auto header =
                nlohmann::json::parse(tool("--json inspect " + file).output)["files"][0];
            EXPECT_EQ(header["mailbox_name"], "Box");
            EXPECT_EQ(header["recording_name_or_calling_party"], name);
        }
    }
}

// A data file's header is anyone's text: pasted, the command runs none of it, and the
// file made again carries it back unchanged.
TEST_F(QuenFindings, HeaderTextsInACommandStayWords) {
    const std::string mailbox = "B'; touch p1; '$(touch p2)";
    const std::string recording = "r`touch p3`\n$(touch p4)\t\\";
    ASSERT_EQ(run({"/convert:quiet.wav", mailbox, recording, "alaw", "q.c11", "log.txt"}).exitCode,
              0);
    const auto header = [this] {
        return nlohmann::json::parse(tool("--json inspect q.c11").output)["files"][0];
    };
    const auto before = header();
    ASSERT_EQ(before["mailbox_name"], mailbox);
    // Control characters are shown escaped, in JSON too.
    ASSERT_EQ(before["recording_name_or_calling_party"], "r`touch p3`\\u000A$(touch p4)\\u0009\\");
    const auto [keys, fix] = findings("inspect", "q.c11");
    ASSERT_EQ(keys, std::vector<std::string>{"level"});
    ASSERT_EQ(paste(fix), 0) << fix;
    for (const char* planted : {"p1", "p2", "p3", "p4"}) {
        EXPECT_FALSE(std::filesystem::exists(path(planted))) << planted;
    }
    const auto after = header();
    EXPECT_EQ(after["mailbox_name"], mailbox);
    EXPECT_EQ(after["recording_name_or_calling_party"], before["recording_name_or_calling_party"]);
    EXPECT_EQ(after["findings"], nlohmann::json::array());
}

TEST_F(QuenFindings, TheReportListsEachFindingWithItsCommand) {
    convert("quiet", "alaw", "quiet.c11");
    convert("silence", "g723", "silence.c23");
    convert("good", "alaw", "good.c11");
    const ProgramResult result = tool("--json report -o page.html quiet.c11 silence.c23 good.c11");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(nlohmann::json::parse(result.output)["problems"], 2);
    const std::string page = readText(path("page.html"));
    const auto [keys, fix] = findings("inspect", "quiet.c11");
    // Grouped under each file, which the problem need not name again.
    EXPECT_NE(page.find("<li class=\"problem-group\"><a href=\"#g1\">quiet.c11</a>\n<ul "
                        "class=\"problems\">\n<li class=\"problem\"><span "
                        "class=\"text\">active speech level -5"),
              std::string::npos);
    const std::string shown = std::regex_replace(fix, std::regex("&"), "&amp;");
    EXPECT_NE(page.find("; level it</span> <span class=\"do\">do: <code>" + shown + "</code>"),
              std::string::npos)
        << shown;
    EXPECT_NE(page.find("<li class=\"problem-group\"><a href=\"#g2\">silence.c23</a>\n<ul "
                        "class=\"problems\">\n<li class=\"problem\"><span class=\"text\">no "
                        "speech: nothing in it rises above silence; record it again</span>"),
              std::string::npos);
    EXPECT_EQ(page.find("<li class=\"problem-group\"><a href=\"#g3\">"), std::string::npos);
}

// Files that carry the same packets are decoded once, but only under the same codec: the
// same bytes read as mu-law are another sound, with findings of their own.
TEST_F(QuenFindings, TheReportSharesASoundOnlyUnderTheSameCodec) {
    convert("good", "alaw", "good.c11");
    Bytes muLaw = readBytes(path("good.c11"));
    muLaw[FLASH_TYPE_OFFSET] = codecFacts(Codec::MuLaw).formatCodes[0];
    writeBytes(path("mu.c11"), muLaw);
    std::filesystem::copy_file(path("good.c11"), path("twin.c11"));
    const std::size_t muFindings = findings("inspect", "mu.c11").first.size();
    ASSERT_GT(muFindings, 0u);
    for (const char* order : {"good.c11 mu.c11 twin.c11", "mu.c11 good.c11 twin.c11"}) {
        SCOPED_TRACE(order);
        const ProgramResult result = tool("--json report -y -o page.html " + std::string(order));
        EXPECT_EQ(nlohmann::json::parse(result.output)["problems"], muFindings);
        const std::string page = readText(path("page.html"));
        EXPECT_NE(page.find("\">mu.c11</a>\n<ul class=\"problems\">"), std::string::npos);
        EXPECT_EQ(page.find("\">good.c11</a>\n<ul class=\"problems\">"), std::string::npos);
        EXPECT_EQ(page.find("\">twin.c11</a>\n<ul class=\"problems\">"), std::string::npos);
    }
}

}  // namespace
}  // namespace quen::test
