// The existence test is the batch's own, patterns and directories included.
#include "jobs/BatchRunEnd.h"

#include "batch/FileSystemChecks.h"
#include "jobs/LogLines.h"

namespace quen {

std::optional<std::u16string> missingRecordingEnd(const std::u16string& wavFile) {
    if (fileExists(wavFile)) {
        return std::nullopt;
    }
    return loglines::recordingMissing(wavFile);
}

}  // namespace quen
