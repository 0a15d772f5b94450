// Reads a regular file whole for inspection. Anything else (a directory, a pipe, a
// device) is refused before a byte is read, so naming a FIFO cannot stall the caller,
// and the read is bounded by the size the file has on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace quen {

// The file's bytes, or what went wrong in words ("cannot open: ..."). Files larger
// than `maxBytes` are refused rather than read.
Result<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::uint64_t maxBytes);

}  // namespace quen
