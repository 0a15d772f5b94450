// The command line: which job the arguments ask for, the checks before it runs, and
// the process exit code.
#pragma once

#include <string>
#include <vector>

namespace quen {

// The exit status of a failed run: -1, as the 8-bit status a process returns.
constexpr int EXIT_FAILED = 255;

// `arguments` include the program name at index 0, which is never read.
int runCommandLine(const std::vector<std::u16string>& arguments);

}  // namespace quen
