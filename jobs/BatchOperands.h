// The checks the batch command line makes before the job runs: the template must be a
// file that exists and both directories must exist, each failure with its own log line.
#pragma once

#include <string>

#include "platform/LogSink.h"

namespace quen {

// True when all three exist; otherwise the first missing one's line is in `log`. The
// directories are tested as the job will use them (backslashes read as separators);
// the log line shows the operand as given.
bool batchOperandsExist(const std::u16string& templatePath, const std::u16string& wavDirectory,
                        const std::u16string& resultDirectory, LogSink& log);

}  // namespace quen
