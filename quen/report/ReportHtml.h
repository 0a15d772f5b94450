// The HTML of a `quen report` page: plain HTML that reads and plays without script,
// one heading per attendant and per greeting, a label on every player, the problems
// first. Written as it is made: a page may embed tens of megabytes of audio.
#pragma once

#include <functional>
#include <string_view>

#include "quen/report/ReportAudio.h"
#include "quen/report/ReportModel.h"

namespace quen::tool {

// Receives the page piece by piece, in order.
using PageSink = std::function<void(std::string_view)>;

// The players play what `audio` holds: embedded in the page, or linked in its folder.
void writeReportHtml(const ReportView& page, const AudioStore& audio, const PageSink& write);

}  // namespace quen::tool
