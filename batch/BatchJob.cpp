// The auto-attendant batch: every recorded greeting of a template into data files,
// named after the attendant and greeting kind (mode 1) or after the recording (mode 2).
#include "batch/BatchJob.h"

#include "app/Converter.h"
#include "app/ErrorLog.h"
#include "app/FileSystemChecks.h"
#include "batch/AaTemplate.h"
#include "batch/BatchPaths.h"
#include "batch/GreetingStems.h"
#include "batch/TemplateError.h"

namespace quen {
namespace {

// Mode 2 copies the recording's file name into a 32-unit header field.
constexpr std::size_t MAX_RECORDING_FILE_NAME = 30;

class BatchRun {
  public:
    BatchRun(const std::u16string& wavDirectory, const std::u16string& resultDirectory,
             int batchMode, const GreetingConversion& convert)
        : wavDirectory_(asDirectory(wavDirectory)),
          resultDirectory_(asDirectory(resultDirectory)),
          namedByKind_(batchMode == 1),
          convert_(convert) {}

    // Both conversions of one greeting; false when the run must end.
    bool convertGreeting(const TemplateGreeting& greeting) {
        const std::u16string recording = withSlashSeparators(greeting.recordingName);
        const std::u16string wavFile = wavDirectory_ + recording;
        std::u16string mailboxName;
        std::u16string recordingName;
        std::u16string outStem;
        if (namedByKind_) {
            recordingName = stems_.stemFor(greeting.id);
            mailboxName = withoutReservedCharacters(greeting.attendantName);
            outStem = mailboxName + u"-" + recordingName;
        } else {
            recordingName = lastComponent(wavFile);
            if (recordingName.size() > MAX_RECORDING_FILE_NAME) {
                ErrorLog::instance().write(u"Error - wav filename \"" + recordingName +
                                           u"\"must be < 31 characters ");
                return false;
            }
            mailboxName = u"Auto Attendant";
            outStem = baseName(recording);
        }
        if (!fileExists(wavFile)) {
            ErrorLog::instance().write(u"Error the wav file \"" + wavFile + u"\" doesn't exist");
            return false;
        }
        convertTo(wavFile, mailboxName, recordingName, u"g723",
                  resultDirectory_ + outStem + u".c23");
        convertTo(wavFile, mailboxName, recordingName, u"g711",
                  resultDirectory_ + outStem + u".c11");
        return true;
    }

  private:
    // A failed conversion is reported and the run goes on.
    void convertTo(const std::u16string& wavFile, const std::u16string& mailboxName,
                   const std::u16string& recordingName, const std::u16string& format,
                   const std::u16string& outFile) const {
        if (!convert_(wavFile, mailboxName, recordingName, format, outFile)) {
            ErrorLog::instance().write(u"Failed to convert file \"" + wavFile + u"\" to \"" +
                                       outFile + u"\"");
        }
    }

    // Built afresh for every run, before the template is read.
    GreetingStems stems_;
    const std::u16string wavDirectory_;
    const std::u16string resultDirectory_;
    const bool namedByKind_;
    const GreetingConversion& convert_;
};

}  // namespace

bool runBatch(const std::u16string& templatePath, const std::u16string& wavDirectory,
              const std::u16string& resultDirectory, int batchMode,
              const GreetingConversion& convert) {
    return reportingTemplateErrors([&] {
        BatchRun run(wavDirectory, resultDirectory, batchMode, convert);
        return walkAaTemplate(templatePath, [&run](const TemplateGreeting& greeting) {
            return run.convertGreeting(greeting);
        });
    });
}

bool Converter::convertBatch(const std::u16string& templatePath, const std::u16string& wavDirectory,
                             const std::u16string& resultDirectory, int batchMode) const {
    return runBatch(templatePath, wavDirectory, resultDirectory, batchMode,
                    [this](const std::u16string& wavFile, const std::u16string& mailboxName,
                           const std::u16string& recordingName, const std::u16string& format,
                           const std::u16string& outFile) {
                        return convertGreeting(wavFile, mailboxName, recordingName, format,
                                               outFile);
                    });
}

}  // namespace quen
