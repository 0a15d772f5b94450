// What a `quen report` page calls wrong, each problem with what to do about it; for a
// data file, judged on the report `quen inspect` made of it: unreadable, failing the
// packet check, undecodable, and the findings about its sound, each with its command.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "quen/inspect/InspectReport.h"

namespace quen::tool {

// One problem as the page lists it.
struct PageProblem {
    std::string text;
    std::vector<std::string> commands;  // each mends it (or part of it), ready to paste
    std::string advice;                 // in words, when no command does
    std::vector<int> modes;             // the batch modes it is about; empty: every one
    std::string anchor;                 // the greeting it points at, if another
};

// Each problem starts with `name` and ": " (which file), or with nothing when `name` is
// empty; a file that is not whole or not decodable is mended by `convertAgain` when
// there is one.
std::vector<PageProblem> dataFileProblems(const InspectReport& report, const std::string& name,
                                          const std::string& convertAgain);

// The modes a text names in its first words: "mode 2: ..." {2}, "modes 1 and 2: ..."
// {1, 2}; none otherwise.
std::vector<int> modesNamed(const std::string& text);

// Problems of one text but for their first words, "mode 1" and "mode 2", made one:
// "modes 1 and 2" and the rest, with the commands of both, in the first one's place.
void mergeModes(std::vector<PageProblem>& problems);

// How far the active speech level is from the target, in dB either way; empty when the
// report has no level.
std::optional<double> levelOffsetDb(const InspectReport& report);

}  // namespace quen::tool
