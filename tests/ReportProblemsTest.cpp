// What `quen report` calls wrong with a data file, from inspect reports written as
// JSON: each measure judged at its boundary, under the key spellings inspect has used,
// and no problem from a measure a report does not hold.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "quen/report/ReportProblems.h"

namespace quen::tool {
namespace {

using nlohmann::json;

json validReport(const json& audio) {
    return {{"file", "x.c11"}, {"valid", true}, {"problem_count", 0}, {"audio", audio}};
}

struct Case {
    const char* what;
    json report;
    std::vector<std::string> problems;
};

TEST(ReportProblems, EachMeasureIsJudgedAtItsBoundary) {
    const std::vector<Case> cases = {
        {"today's report: no level, no runs", validReport({{"peakDbfs", -1.0}}), {}},
        {"3.0 dB below the target is within it",
         validReport({{"active_speech_level_dbm0", -22.0}}),
         {}},
        {"3.0 dB above", validReport({{"active_speech_level_dbm0", -16.0}}), {}},
        {"just past 3 dB below",
         validReport({{"active_speech_level_dbm0", -22.05}}),
         {"x: active speech level -22.1 dBm0, 3.1 dB below the target of -19.0 dBm0"}},
        {"far above, old spelling",
         validReport({{"activeSpeechLevelDbm0", -9.0}}),
         {"x: active speech level -9.0 dBm0, 10.0 dB above the target of -19.0 dBm0"}},
        {"one clipped run",
         validReport({{"clipped_runs", 1}}),
         {"x: clipped (1 run of samples at full scale)"}},
        {"runs as an object",
         validReport({{"clipped_runs", {{"runs", 4}, {"samples", 20}}}}),
         {"x: clipped (4 runs of samples at full scale)"}},
        {"no runs", validReport({{"clippedRuns", 0}}), {}},
        {"unreadable",
         json{{"file", "x"}, {"valid", false}, {"error", "not a data file"}},
         {"x cannot be read: not a data file"}},
        {"packet check and undecodable",
         json{{"valid", false},
              {"problemCount", 2},
              {"audio", nullptr},
              {"audioError", "no decoder"}},
         {"x fails the packet check (2 problems)", "x cannot be decoded: no decoder"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dataFileProblems(c.report, "x"), c.problems) << c.what;
    }
}

TEST(ReportProblems, LevelOffsetIsTheDistanceEitherWay) {
    EXPECT_DOUBLE_EQ(*levelOffsetDb(validReport({{"active_speech_level_dbm0", -25.5}})), 6.5);
    EXPECT_DOUBLE_EQ(*levelOffsetDb(validReport({{"active_speech_level_dbm0", -17.0}})), 2.0);
    EXPECT_FALSE(levelOffsetDb(validReport({{"peak_dbfs", -3.0}})));
}

}  // namespace
}  // namespace quen::tool
