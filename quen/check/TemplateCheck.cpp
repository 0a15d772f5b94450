// One walk of the template with the batch's reader; each greeting is planned by the
// batch's GreetingPlanner once per mode, so names, limits and kinds are the run's own.
// The run's early ends are followed per mode: after one, later greetings are not
// reached.
#include "quen/check/TemplateCheck.h"

#include "quen/FailureText.h"

#include <filesystem>
#include <map>

#include "batch/AaTemplate.h"
#include "batch/BatchPaths.h"
#include "batch/FileSystemChecks.h"
#include "batch/GreetingPlan.h"
#include "jobs/BatchOperands.h"
#include "jobs/BatchRunEnd.h"
#include "jobs/LogLines.h"
#include "platform/LogSink.h"
#include "platform/TextConversion.h"
#include "quen/ShellCommand.h"

namespace quen::tool {
namespace {

// Mode 1 names the kinds; the planner is asked for its stem.
std::string kindOf(const TemplateGreeting& greeting) {
    GreetingPlanner planner(u".", u".", 1);
    return toNarrow(planner.plan(greeting)->recordingName);
}

class TemplateWalk {
  public:
    // `stopped`: the run ends before its first greeting, so none is reached.
    TemplateWalk(TemplateCheck& check, const std::string& wavDirectory,
                 const std::string& resultDirectory, const std::string& mastersDirectory,
                 bool stopped)
        : check_(check),
          wavDirectory_(wavDirectory),
          wavPrefix_(toNarrow(asDirectory(toWide(wavDirectory)))),
          mastersDirectory_(mastersDirectory) {
        for (const int mode : check.modes) {
            planners_.emplace_back(toWide(wavDirectory), toWide(resultDirectory), mode);
            ended_.push_back(stopped);
            written_.emplace_back();
        }
    }

    void visit(const TemplateGreeting& greeting) {
        GreetingCheck& result = add(greeting);
        for (std::size_t m = 0; m < planners_.size(); ++m) {
            planMode(greeting, m, result);
        }
        // Every mode ended on the recording's name before looking for it.
        if (result.wavFile.empty()) {
            return;
        }
        const auto endLine = missingRecordingEnd(toWide(result.wavFile));
        result.exists = !endLine;
        if (endLine) {
            const std::string endedModes = endReachedModes(result);
            std::string problem = "the recording " + result.wavFile + " does not exist";
            if (!endedModes.empty()) {
                problem =
                    endedModes + ": " + problem + "; the run ends here with: " + toNarrow(*endLine);
            }
            result.problems.push_back(problem);
            result.sources = sourcesOfMissing(result.wavFile, relative(result.wavFile),
                                              wavDirectory_, mastersDirectory_);
            return;
        }
        result.recording = checkRecording(result.wavFile, false);
        // The template names the recording: only a prepared file under that very name
        // makes the greeting convert. Prepared in place, the refused file, a master,
        // would be lost; it is moved aside and prepared from there.
        if (result.recording->fix) {
            const auto kept = keepMaster(result.wavFile, relative(result.wavFile));
            result.recording->fix = kept ? std::optional<std::string>(kept->command) : std::nullopt;
            result.master = kept ? std::optional<std::string>(kept->path) : std::nullopt;
        }
        if (!result.recording->accepted) {
            result.problems.push_back("QuenGreeting refuses the recording; both conversions fail");
        }
    }

    void skip(const TemplateGreeting& greeting) {
        GreetingCheck& result = add(greeting);
        result.skipped = true;
        result.warnings.push_back("the RecordingName is empty; the greeting is skipped");
    }

  private:
    // A recording's name below the wav directory, as the planner joined them.
    std::string relative(const std::string& wavFile) const {
        return wavFile.substr(wavPrefix_.size());
    }

    GreetingCheck& add(const TemplateGreeting& greeting) {
        GreetingCheck& result = check_.greetings.emplace_back();
        result.attendant = toNarrow(greeting.attendantName);
        result.id = toNarrow(greeting.id);
        result.recordingName = toNarrow(greeting.recordingName);
        result.kind = kindOf(greeting);
        if (result.kind.empty() && !greeting.recordingName.empty()) {
            result.warnings.push_back("the id \"" + result.id +
                                      "\" is no greeting kind; mode 1 gives it an empty kind");
        }
        return result;
    }

    void planMode(const TemplateGreeting& greeting, std::size_t m, GreetingCheck& result) {
        ModeNames names;
        names.mode = check_.modes[m];
        names.reached = !ended_[m];
        auto plan = planners_[m].plan(greeting);
        if (!plan) {
            names.endLine = toNarrow(loglines::recordingNameTooLong(plan.failure()));
            if (names.reached) {
                result.problems.push_back("mode " + std::to_string(names.mode) +
                                          ": the recording's file name is 31 or more units "
                                          "long; the run ends here");
            }
            ended_[m] = true;
        } else {
            const GreetingPlan& planned = *plan;
            result.wavFile = toNarrow(planned.wavFile);
            names.g723File = toNarrow(planned.g723File);
            names.g711File = toNarrow(planned.g711File);
            const std::size_t index = check_.greetings.size();
            // Unreached greetings count too: once the run's end is mended they are
            // reached, and the clash is the next thing the administrator would meet.
            auto [first, fresh] = written_[m].emplace(names.g723File, index);
            if (!fresh) {
                result.problems.push_back("mode " + std::to_string(names.mode) +
                                          ": writes the same data files as " + "greeting " +
                                          std::to_string(first->second) + ", which it replaces");
            }
        }
        if (!names.reached) {
            result.problems.push_back("mode " + std::to_string(names.mode) +
                                      ": not reached, the run ended before");
        }
        result.modes.push_back(std::move(names));
    }

    // Ends the run of every mode that reached this greeting; names those modes ("mode 1",
    // "modes 1 and 2"), empty when none did.
    std::string endReachedModes(const GreetingCheck& result) {
        std::vector<int> ended;
        for (std::size_t m = 0; m < ended_.size(); ++m) {
            if (result.modes[m].reached && !result.modes[m].endLine) {
                ended_[m] = true;
                ended.push_back(result.modes[m].mode);
            }
        }
        if (ended.empty()) {
            return {};
        }
        return ended.size() == 1
                   ? "mode " + std::to_string(ended[0])
                   : "modes " + std::to_string(ended[0]) + " and " + std::to_string(ended[1]);
    }

    TemplateCheck& check_;
    const std::string wavDirectory_;
    const std::string wavPrefix_;
    const std::string mastersDirectory_;
    std::vector<GreetingPlanner> planners_;
    std::vector<bool> ended_;
    // Per mode: each ".c23" file (the ".c11" beside it follows) and its greeting's
    // number, counted from 1.
    std::vector<std::map<std::string, std::size_t>> written_;
};

}  // namespace

bool TemplateCheck::allConvert() const {
    if (!operandFailure.empty() || !loadFailure.empty() || structureError) {
        return false;
    }
    for (const GreetingCheck& greeting : greetings) {
        if (!greeting.problems.empty()) {
            return false;
        }
    }
    return true;
}

// The names the folder of prepared recordings may have below the wav directory.
constexpr int MAX_PREPARED_FOLDER_NAMES = 9;

std::string prepareTemplateCommand(const std::string& templatePath, const std::string& from,
                                   const std::string& wavDirectory) {
    return "quen prepare --template " + shellWord(templatePath) + " --from " + shellWord(from) +
           " --wav-dir " + shellWord(wavDirectory);
}

// `prepare --template` refuses to replace a recording that is there already, so its one
// command is named only for a wav directory that holds none of them yet, or for a new
// folder: `mkdir` fails on a folder that took the name meanwhile, and nothing is written.
void addPrepareAll(TemplateCheck& check, const std::string& wavDirectory,
                   const std::string& mastersDirectory) {
    bool fromMasters = false;
    bool anyExists = false;
    bool anyRefused = false;
    for (const GreetingCheck& greeting : check.greetings) {
        anyExists = anyExists || greeting.exists;
        anyRefused = anyRefused || (greeting.recording && !greeting.recording->accepted);
        for (const PreparableSource& source : greeting.sources) {
            fromMasters = fromMasters || source.fromMasters;
        }
    }
    std::error_code error;
    if (!std::filesystem::is_directory(wavDirectory, error)) {
        return;
    }
    if (fromMasters && !anyExists) {
        check.prepareAll =
            prepareTemplateCommand(check.templatePath, mastersDirectory, wavDirectory);
        return;
    }
    if (!anyRefused ||
        (!mastersDirectory.empty() && !sameDirectory(mastersDirectory, wavDirectory))) {
        return;
    }
    const std::string base = toNarrow(asDirectory(toWide(wavDirectory))) + "prepared";
    for (int n = 1; n <= MAX_PREPARED_FOLDER_NAMES; ++n) {
        const std::string folder = n == 1 ? base : base + "-" + std::to_string(n);
        if (!std::filesystem::exists(std::filesystem::symlink_status(folder, error))) {
            check.prepareAll = "mkdir -- " + shellWord(folder) + " && " +
                               prepareTemplateCommand(check.templatePath, wavDirectory, folder);
            check.prepareAllWavDirectory = folder;
            return;
        }
    }
}

TemplateCheck checkTemplate(const std::string& templatePath, const std::string& wavDirectory,
                            const std::string& resultDirectory, std::optional<int> mode,
                            const std::string& mastersDirectory) {
    TemplateCheck check;
    check.templatePath = templatePath;
    check.modes = mode ? std::vector<int>{*mode} : std::vector<int>{1, 2};
    LogBuffer log;
    // The batch checks its operands before it reads a greeting; a failure stops the run
    // there. The template is still walked when it exists, so that everything else to
    // mend shows at once.
    if (!batchOperandsExist(toWide(templatePath), toWide(wavDirectory), toWide(resultDirectory),
                            log)) {
        for (const std::u16string& line : log.lines()) {
            check.operandFailure.push_back(toNarrow(line));
        }
        check.unreadable = true;
        if (!fileExists(toWide(templatePath))) {
            return check;
        }
    }
    TemplateWalk walk(check, wavDirectory, resultDirectory, mastersDirectory,
                      !check.operandFailure.empty());
    const auto walked = walkAaTemplate(
        toWide(templatePath),
        [&walk](const TemplateGreeting& greeting) {
            walk.visit(greeting);
            return true;
        },
        [&walk](const TemplateGreeting& greeting) { walk.skip(greeting); });
    if (!walked && walked.failure().kind == TemplateFailure::Kind::MissingNode) {
        check.structureError = true;
    } else if (!walked) {
        check.unreadable = check.unreadable || isAccessFailure(walked.failure().load);
        check.loadFailure.push_back(
            toNarrow(loglines::templateFailed(toWide(templatePath), walked.failure())));
    }
    addPrepareAll(check, wavDirectory, mastersDirectory);
    return check;
}

}  // namespace quen::tool
