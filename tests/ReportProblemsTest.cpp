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

// A problem as text, then "do:" and its commands or its advice.
std::vector<std::string> shown(const std::vector<PageProblem>& problems) {
    std::vector<std::string> lines;
    for (const PageProblem& problem : problems) {
        std::string line = problem.text + " | do:";
        for (const std::string& command : problem.commands) {
            line += " [" + command + "]";
        }
        lines.push_back(line + (problem.advice.empty() ? "" : " " + problem.advice));
    }
    return lines;
}

struct Case {
    const char* what;
    InspectReport report;
    std::string convertAgain;
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
        "scale | do: [remake x.c11]";
    const std::vector<Case> cases = {
        {"nothing found", decoded(-19.0), "run", {}},
        {"no speech, which no command mends",
         decoded(std::nullopt),
         "run",
         {"x: no speech: nothing in it rises above silence; record it again | do:"}},
        {"a level",
         decoded(-9.0),
         "run",
         {"x: active speech level -9.00 dBm0, 10.00 dB above the target of -19.00 dBm0 (more "
          "than 3 dB off); level it | do: [remake x.c11]"}},
        {"unreadable, and nothing else",
         unreadable,
         "run",
         {"x: cannot be read: not a data file | do: [run]"}},
        {"packet check and undecodable",
         undecodable(2),
         "run",
         {"x: fails the packet check (2 problems) | do: [run]",
          "x: cannot be decoded: no decoder | do: [run]"}},
        {"one packet problem, with no run to repeat",
         undecodable(1),
         "",
         {"x: fails the packet check (1 problem) | do: convert its recording again",
          "x: cannot be decoded: no decoder | do: convert its recording again"}},
        {"invalid, decoded and clipped",
         invalidButDecoded,
         "run",
         {"x: fails the packet check (1 problem) | do: [run]", clipped}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shown(dataFileProblems(c.report, "x", c.convertAgain)), c.problems) << c.what;
    }
    // Without a name, as a section of its own: the text starts with the problem.
    EXPECT_EQ(shown(dataFileProblems(unreadable, "", "")),
              std::vector<std::string>{
                  "cannot be read: not a data file | do: convert its recording again"});
}

// Only a "mode 1" and a "mode 2" of one text are made one, in the first one's place,
// with the commands of both and no command twice.
TEST(ReportProblems, TheSameProblemInBothModesIsListedOnce) {
    const auto problem = [](const std::string& text, std::vector<std::string> commands) {
        return PageProblem{text, std::move(commands), {}, modesNamed(text), {}};
    };
    std::vector<PageProblem> problems = {
        problem("mode 2, G.711: too quiet", {"fix b"}),
        problem("mode 1, G.723.1: too quiet", {"fix c"}),
        problem("mode 1, G.711: too quiet", {"fix a", "fix b"}),
        problem("mode 1: the data file a is missing", {"run 1"}),
        problem("mode 2: the data file b is missing", {"run 2"}),
        problem("mode 12, G.711: too quiet", {}),
        problem("mode 1, G.723.1: too quiet", {"fix c"}),
        problem("the recording is refused", {"prepare"}),
    };
    mergeModes(problems);
    EXPECT_EQ(shown(problems), (std::vector<std::string>{
                                   "modes 1 and 2, G.711: too quiet | do: [fix b] [fix a]",
                                   "mode 1, G.723.1: too quiet | do: [fix c]",
                                   "mode 1: the data file a is missing | do: [run 1]",
                                   "mode 2: the data file b is missing | do: [run 2]",
                                   "mode 12, G.711: too quiet | do:",
                                   "mode 1, G.723.1: too quiet | do: [fix c]",
                                   "the recording is refused | do: [prepare]",
                               }));
    EXPECT_EQ(problems[0].modes, (std::vector<int>{1, 2}));
    EXPECT_EQ(modesNamed("modes 1 and 2: x"), (std::vector<int>{1, 2}));
    EXPECT_TRUE(modesNamed("mode 12: x").empty());
    EXPECT_EQ(modesNamed("mode 9"), (std::vector<int>{9}));
    EXPECT_TRUE(modesNamed("mode ").empty());
    EXPECT_TRUE(modesNamed("QuenGreeting refuses").empty());
}

TEST(ReportProblems, LevelOffsetIsTheDistanceEitherWay) {
    EXPECT_DOUBLE_EQ(*levelOffsetDb(decoded(-25.5)), 6.5);
    EXPECT_DOUBLE_EQ(*levelOffsetDb(decoded(-17.0)), 2.0);
    EXPECT_FALSE(levelOffsetDb(decoded(std::nullopt)));
    EXPECT_FALSE(levelOffsetDb(undecodable(0)));
}

}  // namespace
}  // namespace quen::tool
