// What `quen check --template` finds: the AA template as a batch run would walk it,
// with the batch's own template reader and naming rules, each greeting's data-file
// names in the chosen modes, and every problem a run would hit, without converting.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "quen/check/GreetingAdvice.h"
#include "quen/check/RecordingCheck.h"

namespace quen::tool {

// One greeting in one batch mode.
struct ModeNames {
    int mode = 1;
    std::string g723File;
    std::string g711File;
    // The line that ends the run at this greeting (a recording name too long).
    std::optional<std::string> endLine;
    bool reached = true;  // an earlier greeting did not end the run
};

struct GreetingCheck {
    std::string attendant;
    std::string id;
    std::string kind;  // the mode-1 kind; empty for an unknown id
    std::string recordingName;
    std::string wavFile;
    bool skipped = false;  // empty recording name: no conversion at all
    bool exists = false;
    std::optional<RecordingCheck> recording;  // when it exists
    std::vector<ModeNames> modes;
    // A missing recording: the files it can be prepared from, each with its command.
    std::vector<PreparableSource> sources;
    // A refused recording: where the fix keeps it as the master.
    std::optional<std::string> master;
    std::vector<std::string> problems;  // anything that keeps it from converting
    std::vector<std::string> warnings;  // converts, but maybe not as meant
};

struct TemplateCheck {
    std::string templatePath;
    std::vector<int> modes;
    // The line the log gets when the template, the wav directory or the result
    // directory is missing; the run then stops before its first greeting.
    std::vector<std::string> operandFailure;
    // Lines of a template that cannot be read, as the error log would get them.
    std::vector<std::string> loadFailure;
    // A greeting or attendant without its required parts ends every run there.
    bool structureError = false;
    // An operand missing, or the template there but not readable: the fault is not in
    // what the template says.
    bool unreadable = false;
    std::vector<GreetingCheck> greetings;
    // The one command that prepares every recording from the masters directory, when it
    // can write them all: none of them is in the wav directory yet. Or, when the wav
    // directory holds refused recordings and no other masters directory was given, the
    // one that keeps every file there as a master and prepares them all into a new folder
    // below it, `prepareAllWavDirectory`, which the template is then checked against.
    std::optional<std::string> prepareAll;
    std::optional<std::string> prepareAllWavDirectory;

    bool allConvert() const;
};

// `mode` 1 or 2, or none for both. `mastersDirectory`, when not empty, is where the
// recordings' sources are kept, as `prepare --template --from` takes them.
TemplateCheck checkTemplate(const std::string& templatePath, const std::string& wavDirectory,
                            const std::string& resultDirectory, std::optional<int> mode,
                            const std::string& mastersDirectory = {});

// The check as `quen check --json` writes it.
nlohmann::json templateJson(const TemplateCheck& check);

}  // namespace quen::tool
