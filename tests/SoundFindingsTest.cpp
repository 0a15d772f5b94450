// Findings about a sound, judged on the figures reports show: each threshold at its
// boundary, no finding about speech where there is none, their order, and commands
// quoted for a shell that rebuild a recording or a data file the way it was made.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "quen/SoundFindings.h"

namespace quen::tool {
namespace {

// 10 s at -19 dBm0, active half the time, no silence at the ends, no offset, unclipped.
SoundMeasures goodSound() {
    SoundMeasures sound;
    sound.levels.samples = 80000;
    sound.levels.peakDbfs = -6.0;
    sound.levels.rmsDbfs = -25.0;
    sound.speech.activeLevelDbm0 = -19.0;
    sound.speech.activityFactor = 0.5;
    return sound;
}

std::string fix(const std::string& options) {
    return "fix " + options + "x";
}

TEST(SoundFindings, EachIsJudgedAtItsBoundaryOnTheShownFigure) {
    struct Case {
        const char* what;
        void (*change)(SoundMeasures&);
        std::vector<std::string> texts;  // "key: text", in order
    };
    const Case cases[] = {
        {"within every bound", [](SoundMeasures&) {}, {}},
        {"3.00 dB below the target is within it",
         [](SoundMeasures& s) { s.speech.activeLevelDbm0 = -22.004; },
         {}},
        {"shown -22.01 is past it",
         [](SoundMeasures& s) { s.speech.activeLevelDbm0 = -22.006; },
         {"level: active speech level -22.01 dBm0, 3.01 dB below the target of -19.00 dBm0 "
          "(more than 3 dB off); level it"}},
        {"far above",
         [](SoundMeasures& s) { s.speech.activeLevelDbm0 = -9.0; },
         {"level: active speech level -9.00 dBm0, 10.00 dB above the target of -19.00 dBm0 "
          "(more than 3 dB off); level it"}},
        {"quiet speech is a level, not silence",
         [](SoundMeasures& s) { s.speech.activeLevelDbm0 = -64.99; },
         {"level: active speech level -64.99 dBm0, 45.99 dB below the target of -19.00 dBm0 "
          "(more than 3 dB off); level it"}},
        {"codec idle noise is no speech, and nothing else about speech",
         [](SoundMeasures& s) {
             s.speech.activeLevelDbm0 = -65.01;
             s.levels.leadingSilence = s.levels.trailingSilence = 80000;
         },
         {"no_speech: no speech: its active level, -65.01 dBm0, is codec idle noise (under "
          "-65.00 dBm0); record it again"}},
        {"no active speech at all",
         [](SoundMeasures& s) { s.speech = {}; },
         {"no_speech: no speech: nothing in it rises above silence; record it again"}},
        {"under 0.3 s of sound",
         [](SoundMeasures& s) { s.speech.activityFactor = 0.029; },
         {"no_speech: no speech: 0.29 s of sound in all (under 0.3 s); record it again"}},
        {"0.3 s of sound is enough", [](SoundMeasures& s) { s.speech.activityFactor = 0.03; }, {}},
        {"1 s of silence at either end is within",
         [](SoundMeasures& s) { s.levels.leadingSilence = s.levels.trailingSilence = 8000; },
         {}},
        {"a sample more at either end",
         [](SoundMeasures& s) {
             s.levels.leadingSilence = 48000;
             s.levels.trailingSilence = 8001;
         },
         {"leading_silence: 6.00 s of silence before the sound (over 1 s); trim it",
          "trailing_silence: 1.00 s of silence after the sound (over 1 s); trim it"}},
        {"speech under the silence threshold throughout is quiet, not silent at its ends",
         [](SoundMeasures& s) {
             s.speech.activeLevelDbm0 = -64.0;
             s.levels.leadingSilence = s.levels.trailingSilence = 80000;
         },
         {"level: active speech level -64.00 dBm0, 45.00 dB below the target of -19.00 dBm0 "
          "(more than 3 dB off); level it"}},
        {"an offset of 0.50 % is within", [](SoundMeasures& s) { s.levels.dcOffset = -0.005; }, {}},
        {"0.51 % is past it",
         [](SoundMeasures& s) { s.levels.dcOffset = -0.0051; },
         {"dc_offset: DC offset -0.51 % of full scale (over 0.5 %); remove it"}},
        {"one sample at full scale",
         [](SoundMeasures& s) { s.clipping.fullScaleSamples = 1; },
         {"clipping: clipped: 1 sample at full scale, no runs of 3 or more in a row; clipping "
          "cannot be undone: record it again with less input gain, or bring its peaks under "
          "full scale"}},
        {"everything, in order",
         [](SoundMeasures& s) {
             s.levels.leadingSilence = 9000;
             s.speech.activeLevelDbm0 = -30.0;
             s.levels.dcOffset = 0.01;
             s.clipping = {2, 7, 9};
         },
         {"leading_silence: 1.12 s of silence before the sound (over 1 s); trim it",
          "level: active speech level -30.00 dBm0, 11.00 dB below the target of -19.00 dBm0 "
          "(more than 3 dB off); level it",
          "dc_offset: DC offset +1.00 % of full scale (over 0.5 %); remove it",
          "clipping: clipped: 9 samples at full scale, 2 runs (7 samples) of 3 or more in a row; "
          "clipping cannot be undone: record it again with less input gain, or bring its peaks "
          "under full scale"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SoundMeasures sound = goodSound();
        c.change(sound);
        const std::vector<Finding> findings = soundFindings(sound, fix);
        // Silence needs trimming; everything else prepare mends as it is, and one command
        // mends all.
        bool trim = false;
        for (const Finding& finding : findings) {
            trim = trim || finding.key.ends_with("_silence");
        }
        std::vector<std::string> texts;
        for (const Finding& finding : findings) {
            texts.push_back(finding.key + ": " + finding.text);
            if (finding.key == "no_speech") {
                EXPECT_FALSE(finding.command);
            } else {
                EXPECT_EQ(finding.command, trim ? "fix --trim-silence x" : "fix x");
            }
        }
        EXPECT_EQ(texts, c.texts);
    }
}

// What only prepare measures, at the same boundaries: the figure as shown decides.
TEST(SoundFindings, LimitingAndCancellingChannelsAreJudgedOnTheShownFigure) {
    EXPECT_FALSE(limitingFinding(-6.04, "cmd"));
    const std::optional<Finding> limited = limitingFinding(-6.05, "cmd");
    ASSERT_TRUE(limited);
    EXPECT_EQ(limited->key, "limiting");
    EXPECT_EQ(limited->text,
              "limited: peaks held down by up to 6.1 dB (over 6 dB), which squashes speech; "
              "level it lower");
    EXPECT_EQ(limited->command, "cmd");
    EXPECT_FALSE(limitingFinding(0.0, std::nullopt));

    // Powers: 10 dB is a ratio of 10.
    const auto balance = [](int louder, double louderPower, double mixPower) {
        return ChannelBalance{louder, louderPower, mixPower};
    };
    EXPECT_FALSE(cancellingFinding(balance(0, 1.0, 0.1)));
    EXPECT_FALSE(cancellingFinding(balance(-1, 1.0, 0.0)));
    EXPECT_FALSE(cancellingFinding(balance(1, 0.0, 0.0)));
    const std::optional<Finding> cancelling = cancellingFinding(balance(1, 1.0, 0.0977));
    ASSERT_TRUE(cancelling);
    EXPECT_EQ(cancelling->key, "channels_cancel");
    EXPECT_EQ(cancelling->text,
              "channels cancel: their mix lies 10.1 dB below channel 2 (over 10 dB); taken "
              "from channel 2 alone");
    EXPECT_FALSE(cancelling->command);
    EXPECT_EQ(cancellingFinding(balance(0, 0.5, 0.0))->text,
              "channels cancel: their mix is silent, channel 1 is not; taken from channel 1 "
              "alone");
}

TEST(SoundFindings, CommandsRebuildTheSoundTheWayItWasMade) {
    EXPECT_EQ(prepareRecordingAgain("in.mp3")("--trim-silence "),
              "quen prepare --trim-silence in.mp3 in-prepared.wav");
    EXPECT_EQ(prepareRecordingAgain("my take's.wav")(""),
              "quen prepare 'my take'\\''s.wav' 'my take'\\''s-prepared.wav'");

    DataFileContents greeting;
    greeting.flashType = 0x89;
    greeting.codec = Codec::ALaw;
    greeting.texts = {u"Front Desk", u"AM_greeting", u""};
    EXPECT_EQ(convertDataFileAgain("d/AM.c11", greeting)(""),
              "quen inspect d/AM.c11 --wav d/AM.c11-decoded.wav; quen prepare "
              "d/AM.c11-decoded.wav d/AM.c11-prepared.wav; [ $? -le 1 ] && QuenGreeting "
              "/convert:d/AM.c11-prepared.wav 'Front Desk' AM_greeting alaw d/AM.c11 errors.txt");
    greeting.flashType = 0x8B;
    greeting.codec = Codec::G723;
    EXPECT_EQ(convertDataFileAgain("AM.c23", greeting)("--trim-silence "),
              "quen inspect AM.c23 --wav AM.c23-decoded.wav; quen prepare --trim-silence "
              "AM.c23-decoded.wav AM.c23-prepared.wav; [ $? -le 1 ] && QuenGreeting "
              "/convert:AM.c23-prepared.wav 'Front Desk' AM_greeting g723 AM.c23 errors.txt");

    // A mu-law file, a new one (0x60 on top of 0x8A), comes from a message job, with
    // every header field back in place.
    DataFileContents message;
    message.flashType = 0xEA;
    message.codec = Codec::MuLaw;
    message.texts = {u"Box", u"5551234", u"Ann Smith"};
    message.internalFlag = {0x00, 'Y', 0x00, 0x00};
    message.recordTime = 1700000000;
    message.listenTime = -1;
    EXPECT_EQ(convertDataFileAgain("m.cxx", message)(""),
              "quen inspect m.cxx --wav m.cxx-decoded.wav; quen prepare m.cxx-decoded.wav "
              "m.cxx-prepared.wav; [ $? -le 1 ] && QuenGreeting /convertMsg:m.cxx-prepared.wav Box "
              "5551234 "
              "'Ann Smith' ulaw Y Y 1700000000 -1 m.cxx errors.txt");
}

TEST(SoundFindings, JsonAndTextCarryEveryFindingAndItsCommand) {
    const std::vector<Finding> findings = {{"no_speech", "silent", std::nullopt},
                                           {"level", "too quiet", "quen prepare a b"}};
    EXPECT_EQ(findingsJson(findings), nlohmann::json::parse(R"([
        {"key": "no_speech", "text": "silent", "command": null},
        {"key": "level", "text": "too quiet", "command": "quen prepare a b"}])"));
    EXPECT_EQ(findingsText(findings, "  ", 11),
              "  finding    silent\n  finding    too quiet\n  do         quen prepare a b\n");
}

}  // namespace
}  // namespace quen::tool
