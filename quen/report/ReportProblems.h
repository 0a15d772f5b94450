// What a `quen report` page calls wrong with one data file, judged on the report
// `quen inspect` made of it: unreadable, failing the packet check, undecodable, and the
// findings about its sound, each with its command.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "quen/inspect/InspectReport.h"

namespace quen::tool {

// Each problem starts with `name` (where and which file).
std::vector<std::string> dataFileProblems(const InspectReport& report, const std::string& name);

// How far the active speech level is from the target, in dB either way; empty when the
// report has no level.
std::optional<double> levelOffsetDb(const InspectReport& report);

}  // namespace quen::tool
