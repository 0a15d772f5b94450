// Only what inspect measured is judged, on the figures its reports show: a level is
// judged as rounded for display, so the page never calls a shown -22.00 dBm0 too low.
#include "quen/report/ReportProblems.h"

#include <cmath>
#include <cstdio>

namespace quen::tool {
namespace {

std::string decibels(double value, const char* unit) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %s", value, unit);
    return text;
}

std::optional<double> activeLevelDbm0(const InspectReport& report) {
    return report.sound ? soundFigures(*report.sound).activeLevelDbm0 : std::nullopt;
}

}  // namespace

std::optional<double> levelOffsetDb(const InspectReport& report) {
    const auto level = activeLevelDbm0(report);
    return level ? std::optional(std::fabs(*level - TARGET_LEVEL_DBM0)) : std::nullopt;
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
    const SoundFigures figures = soundFigures(*report.sound);
    if (const auto level = figures.activeLevelDbm0) {
        const double offset = *level - TARGET_LEVEL_DBM0;
        if (std::fabs(offset) > LEVEL_TOLERANCE_DB) {
            problems.push_back(name + ": active speech level " + decibels(*level, "dBm0") + ", " +
                               decibels(std::fabs(offset), "dB") +
                               (offset < 0 ? " below" : " above") + " the target of " +
                               decibels(TARGET_LEVEL_DBM0, "dBm0"));
        }
    }
    if (const std::size_t runs = figures.clippedRuns; runs > 0) {
        problems.push_back(name + ": clipped (" + std::to_string(runs) +
                           (runs == 1 ? " run" : " runs") + " of samples at full scale)");
    }
    return problems;
}

}  // namespace quen::tool
