// Only what inspect measured and found is judged; the sound's findings are inspect's
// own, so the page and `quen inspect` never disagree.
#include "quen/report/ReportProblems.h"

#include <cmath>

#include "dsp/SpeechLevel.h"

namespace quen::tool {

std::optional<double> levelOffsetDb(const InspectReport& report) {
    const auto level = report.sound ? soundFigures(*report.sound).activeLevelDbm0 : std::nullopt;
    return level ? std::optional(std::fabs(*level - TELEPHONE_SPEECH_LEVEL_DBM0)) : std::nullopt;
}

std::vector<std::string> dataFileProblems(const InspectReport& report, const std::string& name) {
    if (report.error) {
        return {name + " cannot be read: " + *report.error};
    }
    std::vector<std::string> problems;
    if (!report.contents.valid()) {
        const std::size_t count = report.contents.problemCount;
        problems.push_back(name + " fails the packet check (" + std::to_string(count) +
                           (count == 1 ? " problem)" : " problems)"));
    }
    if (!report.sound) {
        problems.push_back(name + " cannot be decoded: " + report.audioError);
        return problems;
    }
    for (const Finding& finding : report.findings) {
        problems.push_back(name + ": " + finding.text +
                           (finding.command ? "; do: " + *finding.command : std::string()));
    }
    return problems;
}

}  // namespace quen::tool
