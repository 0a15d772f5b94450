// Mode 1 names data files after the attendant and the greeting kind, mode 2 after the
// recording, whose file name must fit a header field.
#include "batch/GreetingPlan.h"

#include "batch/BatchPaths.h"

namespace quen {
namespace {

// Mode 2 copies the recording's file name into a 32-unit header field.
constexpr std::size_t MAX_RECORDING_FILE_NAME = 30;

}  // namespace

GreetingPlanner::GreetingPlanner(const std::u16string& wavDirectory,
                                 const std::u16string& resultDirectory, int batchMode)
    : wavDirectory_(asDirectory(wavDirectory)),
      resultDirectory_(asDirectory(resultDirectory)),
      namedByKind_(batchMode == 1) {}

Result<GreetingPlan, RecordingNameTooLong> GreetingPlanner::plan(const TemplateGreeting& greeting) {
    const std::u16string recording = withSlashSeparators(greeting.recordingName);
    GreetingPlan plan;
    plan.wavFile = wavDirectory_ + recording;
    std::u16string outStem;
    if (namedByKind_) {
        plan.recordingName = stems_.stemFor(greeting.id);
        plan.mailboxName = withoutReservedCharacters(greeting.attendantName);
        outStem = plan.mailboxName + u"-" + plan.recordingName;
    } else {
        plan.recordingName = lastComponent(plan.wavFile);
        if (plan.recordingName.size() > MAX_RECORDING_FILE_NAME) {
            return RecordingNameTooLong{plan.recordingName};
        }
        plan.mailboxName = u"Auto Attendant";
        outStem = baseName(recording);
    }
    plan.g723File = resultDirectory_ + outStem + u".c23";
    plan.g711File = resultDirectory_ + outStem + u".c11";
    return plan;
}

}  // namespace quen
