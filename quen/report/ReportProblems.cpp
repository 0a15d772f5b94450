// Only what inspect measured is judged; a measure its report does not hold yet is no
// problem.
#include "quen/report/ReportProblems.h"

#include <cmath>
#include <cstdio>

#include "quen/report/ReportFields.h"

namespace quen::tool {
namespace {

std::string decibels(double value, const char* unit) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %s", value, unit);
    return text;
}

}  // namespace

std::optional<double> levelOffsetDb(const nlohmann::json& inspect) {
    const auto level = fields::activeLevelDbm0(inspect);
    return level ? std::optional(std::fabs(*level - TARGET_LEVEL_DBM0)) : std::nullopt;
}

std::vector<std::string> dataFileProblems(const nlohmann::json& inspect, const std::string& name) {
    if (const auto error = fields::error(inspect)) {
        return {name + " cannot be read: " + *error};
    }
    std::vector<std::string> problems;
    if (!fields::valid(inspect)) {
        const std::uint64_t count = fields::problemCount(inspect);
        problems.push_back(name + " fails the packet check (" + std::to_string(count) +
                           (count == 1 ? " problem)" : " problems)"));
    }
    if (const auto audioError = fields::audioError(inspect)) {
        problems.push_back(name + " cannot be decoded: " + *audioError);
        return problems;
    }
    if (const auto level = fields::activeLevelDbm0(inspect)) {
        const double offset = *level - TARGET_LEVEL_DBM0;
        if (std::fabs(offset) > LEVEL_TOLERANCE_DB) {
            problems.push_back(name + ": active speech level " + decibels(*level, "dBm0") + ", " +
                               decibels(std::fabs(offset), "dB") +
                               (offset < 0 ? " below" : " above") + " the target of " +
                               decibels(TARGET_LEVEL_DBM0, "dBm0"));
        }
    }
    if (const auto runs = fields::clippedRuns(inspect); runs && *runs > 0) {
        problems.push_back(name + ": clipped (" + std::to_string(*runs) +
                           (*runs == 1 ? " run" : " runs") + " of samples at full scale)");
    }
    return problems;
}

}  // namespace quen::tool
