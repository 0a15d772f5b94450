// Unbuffered writes to standard output.
#include "platform/Console.h"

#include <unistd.h>

#include "platform/FileHandle.h"

namespace quen {

// A closed or full standard output has no one to tell; the job goes on regardless.
void writeConsole(std::string_view bytes) {
    static_cast<void>(writeAll(STDOUT_FILENO, bytes));
}

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace quen
