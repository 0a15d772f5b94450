// Reads an input file whole: opened read-only under a shared lock, sized, read, and
// closed before the caller looks at a byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FailureCategory.h"

namespace quen {

struct WholeFile {
    std::vector<std::uint8_t> bytes;
    // Set when the file could not be opened, locked or read to its end; a read that
    // stopped short is EndOfFile.
    std::optional<FailureCategory> failure;
};

WholeFile readWholeFile(const std::string& path);

}  // namespace quen
