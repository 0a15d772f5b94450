// Template and directory existence before a batch run, in the order the callers expect.
#include "jobs/BatchOperands.h"

#include "batch/BatchPaths.h"
#include "batch/FileSystemChecks.h"

namespace quen {

bool batchOperandsExist(const std::u16string& templatePath, const std::u16string& wavDirectory,
                        const std::u16string& resultDirectory, LogSink& log) {
    if (templatePath.empty() || !fileExists(templatePath)) {
        log.write("Error opening the AA-template.xml file");
        return false;
    }
    if (wavDirectory.empty() || !directoryExists(withSlashSeparators(wavDirectory))) {
        log.write(u"The wav-file-directory (" + wavDirectory + u") doesn't exit");
        return false;
    }
    if (resultDirectory.empty() || !directoryExists(withSlashSeparators(resultDirectory))) {
        log.write("The results-directory doesn't exit");
        return false;
    }
    return true;
}

}  // namespace quen
