// The HTML of a `quen report` page: plain HTML that reads and plays without script,
// one heading per attendant and per greeting, a label on every player, the problems
// first.
#pragma once

#include <string>

#include "quen/report/ReportAudio.h"
#include "quen/report/ReportModel.h"

namespace quen::tool {

// The players' audio goes where `audio` says; check its failure() afterwards.
std::string reportHtml(const ReportView& page, AudioPlacement& audio);

}  // namespace quen::tool
