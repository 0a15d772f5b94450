// What a `quen report` page calls wrong with one data file, judged on the report
// `quen inspect` made of it: unreadable, failing the packet check, undecodable, a level
// too far from the telephone target, clipping.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "quen/inspect/InspectReport.h"

namespace quen::tool {

// The level telephone networks aim speech at, and how far off it a greeting may be
// before the page calls it a problem.
constexpr double TARGET_LEVEL_DBM0 = -19.0;
constexpr double LEVEL_TOLERANCE_DB = 3.0;

// Each problem starts with `name` (where and which file).
std::vector<std::string> dataFileProblems(const InspectReport& report, const std::string& name);

// How far the active speech level is from the target, in dB either way; empty when the
// report has no level.
std::optional<double> levelOffsetDb(const InspectReport& report);

}  // namespace quen::tool
