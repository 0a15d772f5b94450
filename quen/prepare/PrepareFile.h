// One recording through `quen prepare`: the overwrite rule, decoding, the sound, the
// written file and the report. Reports are returned, not printed, so that files
// prepared side by side are reported in the order they were given.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "media/MediaDecoder.h"
#include "quen/OutputFile.h"
#include "quen/prepare/PrepareRecording.h"

namespace quen::tool {

struct PrepareSettings {
    PrepareOptions options;
    bool overwrite = false;
    // Write a result with no speech instead of refusing it.
    bool allowSilence = false;
    // A percentage on standard error while a long input decodes.
    bool showProgress = false;
};

struct PrepareOutcome {
    bool succeeded = false;
    // Written, with a finding about the result the user did not ask for.
    bool problemFound = false;
    // The failure was trouble with a file (an input that cannot be read, an output that
    // cannot be written or exists already), not a recording that cannot be prepared.
    bool trouble = false;
    // Whole lines for standard error: why the file failed, or warnings.
    std::string messages;
    std::string text;     // the text report
    nlohmann::json json;  // the same as one JSON object
};

// `input` is the recording as messages name it, `path` where it is read (they differ for
// standard input).
PrepareOutcome prepareFile(const std::string& input, const std::string& path,
                           const std::string& output, const PrepareSettings& settings);

}  // namespace quen::tool
