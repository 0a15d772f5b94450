// The one reader that reads a file whole: a regular file only, so that naming a FIFO
// or a device cannot stall the caller, and bounded by the size the file has on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace quen {

// The file's bytes (InputFile::openRegular), or why not: CannotOpen, NotRegular,
// CannotRead, TooLarge for a file larger than `maxBytes` (refused rather than read),
// OutOfMemory. A file that shrinks while it is read gives the bytes it still has; one
// that grows is read to the size it had.
Result<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::uint64_t maxBytes);

}  // namespace quen
