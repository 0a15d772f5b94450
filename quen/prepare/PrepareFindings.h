// What `quen prepare` finds in a recording and in what it made of it, each finding with
// the prepare command that removes it, and which of them the user asked for.
#pragma once

#include <string>
#include <vector>

#include "quen/SoundFindings.h"
#include "quen/SoundMeasures.h"
#include "quen/prepare/PrepareFile.h"
#include "quen/prepare/PrepareRecording.h"

namespace quen::tool {

// What is found of the input, before anything is done to it, and of the result.
struct PrepareFindings {
    std::vector<Finding> input;
    std::vector<Finding> output;
};

// The findings of the input as decoded (`inputMeasures`) and of `result`, with the
// commands that prepare `input` into `output` again without them.
PrepareFindings judgePrepared(const std::string& input, const std::string& output,
                              const SoundMeasures& inputMeasures, const PreparedRecording& result,
                              const PrepareOptions& options);

// Findings of the result that need no mending because the user asked for them: no speech
// with --allow-silence, a level away from the telephone's with another target.
bool chosenByUser(const Finding& finding, const PrepareSettings& settings);

// The finding with `key`, or null.
const Finding* findingOf(const std::vector<Finding>& findings, const std::string& key);

}  // namespace quen::tool
