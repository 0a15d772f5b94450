// What `quen report` calls wrong with a data file, from the reports `quen inspect`
// makes: each measure judged at its boundary, on the figure as reports show it, and no
// problem from a measure a report does not hold.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "quen/report/ReportProblems.h"

namespace quen::tool {
namespace {

// A valid data file whose decoded audio has this level (none: no active speech) and
// these clipped runs.
InspectReport decoded(std::optional<double> levelDbm0, std::size_t clippedRuns = 0) {
    InspectReport report;
    report.file = "x.c11";
    SoundMeasures sound;
    sound.speech.activeLevelDbm0 = levelDbm0;
    sound.clipping.runs = clippedRuns;
    sound.clipping.samples = clippedRuns * 3;
    report.sound = sound;
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

TEST(ReportProblems, EachMeasureIsJudgedAtItsBoundary) {
    InspectReport unreadable = undecodable(3);
    unreadable.error = "not a data file";
    InspectReport invalidButDecoded = decoded(-19.0, 2);
    invalidButDecoded.contents.problemCount = 1;
    const std::vector<Case> cases = {
        {"no active speech, no runs", decoded(std::nullopt), {}},
        {"3.0 dB below the target is within it", decoded(-22.0), {}},
        {"3.0 dB above", decoded(-16.0), {}},
        {"just past 3 dB below",
         decoded(-22.05),
         {"x: active speech level -22.1 dBm0, 3.1 dB below the target of -19.0 dBm0"}},
        {"shown as -22.00, within", decoded(-22.004), {}},
        {"shown as -22.01, past",
         decoded(-22.006),
         {"x: active speech level -22.0 dBm0, 3.0 dB below the target of -19.0 dBm0"}},
        {"far above",
         decoded(-9.0),
         {"x: active speech level -9.0 dBm0, 10.0 dB above the target of -19.0 dBm0"}},
        {"one clipped run", decoded(-19.0, 1), {"x: clipped (1 run of samples at full scale)"}},
        {"runs", decoded(-19.0, 4), {"x: clipped (4 runs of samples at full scale)"}},
        {"unreadable, and nothing else", unreadable, {"x cannot be read: not a data file"}},
        {"packet check and undecodable",
         undecodable(2),
         {"x fails the packet check (2 problems)", "x cannot be decoded: no decoder"}},
        {"one packet problem",
         undecodable(1),
         {"x fails the packet check (1 problem)", "x cannot be decoded: no decoder"}},
        {"invalid, decoded and clipped",
         invalidButDecoded,
         {"x fails the packet check (1 problem)", "x: clipped (2 runs of samples at full scale)"}},
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
