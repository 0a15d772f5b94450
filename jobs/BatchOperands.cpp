// Template and directory existence before a batch run, in the order the callers expect.
#include "jobs/BatchOperands.h"

#include "batch/BatchPaths.h"
#include "batch/FileSystemChecks.h"
#include "jobs/LogLines.h"

namespace quen {

bool batchOperandsExist(const std::u16string& templatePath, const std::u16string& wavDirectory,
                        const std::u16string& resultDirectory, LogSink& log) {
    if (templatePath.empty() || !fileExists(templatePath)) {
        log.write(loglines::templateFileMissing());
        return false;
    }
    if (wavDirectory.empty() || !directoryExists(withSlashSeparators(wavDirectory))) {
        log.write(loglines::wavDirectoryMissing(wavDirectory));
        return false;
    }
    if (resultDirectory.empty() || !directoryExists(withSlashSeparators(resultDirectory))) {
        log.write(loglines::resultDirectoryMissing());
        return false;
    }
    return true;
}

}  // namespace quen
