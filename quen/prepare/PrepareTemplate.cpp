// The walk and the naming are the batch job's own, so a recording lands exactly where a
// batch run will look for it. A name that climbs out of the wav directory is refused:
// the template is not trusted to choose where files are written. Links below the wav
// directory are followed as the batch follows them, under the link rules, and two
// names that reach one file are prepared once.
#include "quen/prepare/PrepareTemplate.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "batch/AaTemplate.h"
#include "batch/BatchPaths.h"
#include "batch/GreetingPlan.h"
#include "jobs/LogLines.h"
#include "platform/CheckedDirectory.h"
#include "platform/FileIdentity.h"
#include "platform/TextConversion.h"
#include "quen/FailureText.h"
#include "quen/TemplateOperands.h"

namespace quen::tool {
namespace {

namespace fs = std::filesystem;

bool isRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// The source of `relative` in `rawDirectory`: the same name, or else the one file with
// the same stem and any extension.
void findSource(const fs::path& rawDirectory, const fs::path& relative,
                TemplateRecording& recording) {
    const fs::path exact = rawDirectory / relative;
    if (isRegularFile(exact)) {
        recording.source = exact.string();
        return;
    }
    std::vector<std::string> candidates;
    std::error_code error;
    for (fs::directory_iterator entry(exact.parent_path(), error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->path().stem() == relative.stem() && isRegularFile(entry->path())) {
            candidates.push_back(entry->path().string());
        }
    }
    std::sort(candidates.begin(), candidates.end());
    if (candidates.size() == 1) {
        recording.source = candidates.front();
    } else if (candidates.empty()) {
        recording.problem = "no source: neither " + exact.string() + " nor a file " +
                            (exact.parent_path() / relative.stem()).string() + ".*";
    } else {
        recording.problem = "several sources, give one: " + candidates[0] + ", " + candidates[1];
    }
}

}  // namespace

TemplateRecordings findTemplateRecordings(const std::string& templatePath,
                                          const std::string& rawDirectory,
                                          const std::string& wavDirectory) {
    TemplateRecordings found;
    GreetingPlanner planner(toWide(wavDirectory), u"", 1);
    const std::u16string wavPrefix = asDirectory(toWide(wavDirectory));
    std::set<std::string> seen;
    const auto visit = [&](const TemplateGreeting& greeting) {
        // Mode 1 never refuses a greeting.
        const std::u16string wavFile = planner.plan(greeting)->wavFile;
        const std::string relative = toNarrow(wavFile.substr(wavPrefix.size()));
        const std::string destination = toNarrow(wavFile);
        // The same file under two names (a link to a directory, say) would be written
        // twice at once.
        const std::string identity = staysBelowDirectory(relative)
                                         ? fileIdentity(destination)
                                         : fs::path(relative).lexically_normal().string();
        if (!seen.insert(identity).second) {
            return true;
        }
        TemplateRecording recording;
        recording.name = toNarrow(greeting.recordingName);
        recording.destination = destination;
        if (!staysBelowDirectory(relative)) {
            recording.problem = "leads out of the wav directory; not prepared";
        } else {
            findSource(rawDirectory, relative, recording);
        }
        found.recordings.push_back(std::move(recording));
        return true;
    };
    const auto walked = walkAaTemplate(toWide(templatePath), visit);
    if (!walked && walked.failure().kind == TemplateFailure::Kind::MissingNode) {
        found.failure =
            "a greeting without its AAName, id or RecordingName ends the template here; the "
            "recordings after it are not prepared";
    } else if (!walked) {
        found.failure = toNarrow(loglines::templateFailed(toWide(templatePath), walked.failure()));
        found.unreadable = isAccessFailure(walked.failure().load);
    }
    return found;
}

std::string makeDestinationDirectory(const TemplateRecording& recording) {
    const std::string directory = fs::path(recording.destination).parent_path().string();
    const auto made = CheckedDirectory::open(directory.empty() ? "." : directory, true);
    return made ? std::string()
                : "cannot make " + directory + ": " + describeFailure(made.failure());
}

}  // namespace quen::tool
