// Where a batch run ends at a greeting's turn, told once for the batch job and for
// `quen check` alike: a recording that does not exist ends it, with its own log line.
#pragma once

#include <optional>
#include <string>

namespace quen {

// The line that ends the run at the turn of a greeting whose recording `wavFile` does
// not exist; nothing when it exists. Asked at the turn, not when the greeting is
// planned: an earlier conversion of the run may write the recording.
std::optional<std::u16string> missingRecordingEnd(const std::u16string& wavFile);

}  // namespace quen
