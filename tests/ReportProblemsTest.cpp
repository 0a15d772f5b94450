// What `quen report` calls wrong with a data file, from the reports `quen inspect`
// makes: its own problems, then the sound's findings with their commands, and no
// problem from a measure a report does not hold.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "quen/report/ReportProblems.h"

namespace quen::tool {
namespace {

// A valid data file whose decoded audio has this level (none: no active speech) and
// these samples at full scale, with its findings.
InspectReport decoded(std::optional<double> levelDbm0, std::size_t clippedSamples = 0) {
    InspectReport report;
    report.file = "x.c11";
    SoundMeasures sound;
    sound.levels.samples = 80000;
    sound.speech.activeLevelDbm0 = levelDbm0;
    sound.speech.activityFactor = 0.5;
    sound.clipping.fullScaleSamples = clippedSamples;
    report.sound = sound;
    report.findings = soundFindings(
        sound, [](const std::string& options) { return "remake " + options + "x.c11"; });
    return report;
}

// Failing the packet check with `count` problems, and not decoded.
InspectReport undecodable(std::size_t count) {
    InspectReport report;
    report.file = "x.c23";
    report.contents.problemCount = count;
    report.audioError = "no decoder";
    return report;
}

struct Case {
    const char* what;
    InspectReport report;
    std::vector<std::string> problems;
};

TEST(ReportProblems, TheFilesOwnComeFirstThenEachFindingWithItsCommand) {
    InspectReport unreadable = undecodable(3);
    unreadable.error = "not a data file";
    InspectReport invalidButDecoded = decoded(-19.0, 2);
    invalidButDecoded.contents.problemCount = 1;
    const std::string clipped =
        "x: clipped: 2 samples at full scale, no runs of 3 or more in a row; clipping cannot "
        "be undone: record it again with less input gain, or bring its peaks under full "
        "scale; do: remake x.c11";
    const std::vector<Case> cases = {
        {"nothing found", decoded(-19.0), {}},
        {"no speech, which no command mends",
         decoded(std::nullopt),
         {"x: no speech: nothing in it rises above silence; record it again"}},
        {"a level",
         decoded(-9.0),
         {"x: active speech level -9.00 dBm0, 10.00 dB above the target of -19.00 dBm0 (more "
          "than 3 dB off); level it; do: remake x.c11"}},
        {"unreadable, and nothing else", unreadable, {"x cannot be read: not a data file"}},
        {"packet check and undecodable",
         undecodable(2),
         {"x fails the packet check (2 problems)", "x cannot be decoded: no decoder"}},
        {"one packet problem",
         undecodable(1),
         {"x fails the packet check (1 problem)", "x cannot be decoded: no decoder"}},
        {"invalid, decoded and clipped",
         invalidButDecoded,
         {"x fails the packet check (1 problem)", clipped}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dataFileProblems(c.report, "x"), c.problems) << c.what;
    }
}

TEST(ReportProblems, LevelOffsetIsTheDistanceEitherWay) {
    EXPECT_DOUBLE_EQ(*levelOffsetDb(decoded(-25.5)), 6.5);
    EXPECT_DOUBLE_EQ(*levelOffsetDb(decoded(-17.0)), 2.0);
    EXPECT_FALSE(levelOffsetDb(decoded(std::nullopt)));
    EXPECT_FALSE(levelOffsetDb(undecodable(0)));
}

}  // namespace
}  // namespace quen::tool
