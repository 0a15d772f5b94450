// Replaces a file whole or not at all: the content goes to a temporary file in the
// target's directory (unnamed where the file system allows), which is renamed over the
// target only once fully written.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/FailureCategory.h"

namespace quen {

using ByteSpan = std::span<const std::uint8_t>;

// Writes `pieces` one after the other as the new content of `path`. A symbolic link
// at `path` is followed and its target replaced; every link on the path obeys
// followLinksForWriting's rule (a refused one: access denied). A new file gets mode 0666 less the
// umask; a replaced one keeps its mode (and, where permitted, its owner). An existing
// file that may not be written, or is locked by another opener, is refused before
// anything is written. Returns the failure category, or nothing on success; after a
// failure the temporary file is gone and an earlier file is unchanged.
std::optional<FailureCategory> replaceFileAtomically(const std::string& path,
                                                     std::span<const ByteSpan> pieces);

}  // namespace quen
