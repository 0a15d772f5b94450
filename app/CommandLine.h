// The command line: which job the arguments ask for, the checks before it runs, and
// the process exit code.
#pragma once

#include <string>
#include <vector>

#include "jobs/Converter.h"
#include "platform/ErrorLog.h"

namespace quen {

// The exit status of a failed run: -1, as the 8-bit status a process returns.
constexpr int EXIT_FAILED = 255;

// `arguments` include the program name at index 0, which is never read. The jobs run
// on `converter`, which reports to `log`; this opens and closes it. An allocation
// failure anywhere in a job is a logged failure.
int runCommandLine(const std::vector<std::u16string>& arguments, const Converter& converter,
                   ErrorLog& log);

}  // namespace quen
