// Opens the error-log file: read/write, created when absent, locked exclusively, and
// only then emptied, so a second run naming a log in use cannot empty it.
#pragma once

#include <string>

#include "platform/FileHandle.h"

namespace quen {

// An invalid handle when the file cannot be opened or is locked by another opener, when
// a link on its path may not be followed (followLinks), or when an existing file may not
// be written (mayWriteExisting).
FileHandle openLogFile(const std::string& path);

}  // namespace quen
