// An input file read at any offset: opened read-only and non-blocking under a shared
// lock, sized once. A recording is read this way so that a refused one is never read
// whole.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/FailureCategory.h"
#include "platform/FileHandle.h"

namespace quen {

class InputFile {
  public:
    explicit InputFile(const std::string& path);

    // Set when the file could not be opened, locked or read; a read that stopped short
    // is EndOfFile.
    const std::optional<FailureCategory>& failure() const { return failure_; }
    // The size the file system gave when it was opened.
    std::uint64_t size() const { return size_; }

    // Fills `out` with the bytes from `offset` on; false, with failure() set, when that
    // cannot be done.
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out);

  private:
    std::string path_;
    FileHandle file_;
    std::uint64_t size_ = 0;
    std::optional<FailureCategory> failure_;
};

}  // namespace quen
