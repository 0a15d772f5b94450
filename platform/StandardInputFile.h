// Standard input kept whole in an unnamed temporary file, so that "-" is read as a
// named input is: a regular file of known size, at any offset, by path, within the same
// limits. The file has no name, so nothing is left behind when the process ends by a
// signal or a crash.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileHandle.h"
#include "platform/Result.h"

namespace quen {

class StandardInputFile {
  public:
    // Copies `input` (standard input) to its end into an unnamed file in $TMPDIR, or /tmp
    // when that is unset or empty. Fails with TooLarge past `maxBytes` (reading stops
    // there), CannotRead when the input cannot be read, CannotOpen when no unnamed file
    // can be made or written.
    static Result<StandardInputFile> spool(std::uint64_t maxBytes, int input);

    // The name this process and the children it starts open the copy by; a link under
    // /proc to the descriptor, which InputFile follows.
    const std::string& path() const { return path_; }
    std::uint64_t size() const { return size_; }

  private:
    StandardInputFile(FileHandle file, std::uint64_t size);

    FileHandle file_;
    std::uint64_t size_ = 0;
    std::string path_;
};

}  // namespace quen
