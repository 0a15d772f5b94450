// The one rule for every file a subcommand writes: "-" is standard output, an existing
// file is replaced only when the caller allows it, and a file is written whole or not
// at all.
#pragma once

#include <span>
#include <string>

#include "platform/AtomicFileWriter.h"

namespace quen::tool {

inline constexpr const char* STANDARD_OUTPUT = "-";

// Why an output that is there already is left alone, in every subcommand's words.
inline constexpr const char* EXISTS_ALREADY = "exists already; give -y (--overwrite) to replace it";

// Empty on success, else what went wrong, without the file's name.
std::string writeOutputFile(const std::string& path, std::span<const ByteSpan> pieces,
                            bool overwrite);

}  // namespace quen::tool
