// One recording through `quen prepare`: the overwrite rule, decoding, the sound, the
// written file and the report. Reports are returned, not printed, so that files
// prepared side by side are reported in the order they were given.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "media/MediaDecoder.h"
#include "quen/prepare/PrepareRecording.h"

namespace quen::tool {

// OUT as "-": the WAV bytes go to standard output.
inline constexpr const char* STANDARD_OUTPUT = "-";

struct PrepareSettings {
    PrepareOptions options;
    bool overwrite = false;
    // A percentage on standard error while a long input decodes.
    bool showProgress = false;
};

struct PrepareOutcome {
    bool succeeded = false;
    // Whole lines for standard error: why the file failed, or warnings.
    std::string messages;
    std::string text;     // the text report
    nlohmann::json json;  // the same as one JSON object
};

PrepareOutcome prepareFile(const std::string& input, const std::string& output,
                           const PrepareSettings& settings);

}  // namespace quen::tool
