// What `quen prepare --template` prepares: every recording an AA template references,
// once each, named as the batch job reads it below the wav directory, with its source
// found in the raw directory under the same name or the same stem.
#pragma once

#include <string>
#include <vector>

namespace quen::tool {

struct TemplateRecording {
    std::string name;         // as the template spells it
    std::string destination;  // below the wav directory, where the batch reads it
    std::string source;       // empty when `problem` says why there is none
    std::string problem;
};

struct TemplateRecordings {
    std::vector<TemplateRecording> recordings;  // in template order
    // Why the template could not be read to its end (the batch stops there too), or
    // empty.
    std::string failure;
    // The template itself could not be got at (missing, unreadable, too large), as
    // opposed to being malformed.
    bool unreadable = false;
};

// Two names of one file, once resolved, are one recording, the first.
TemplateRecordings findTemplateRecordings(const std::string& templatePath,
                                          const std::string& rawDirectory,
                                          const std::string& wavDirectory);

// Makes the directories below the wav directory that `recording.destination` needs, one
// at a time, never through a link the link rules forbid; empty, or what went wrong.
std::string makeDestinationDirectory(const TemplateRecording& recording);

}  // namespace quen::tool
