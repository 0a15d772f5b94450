// Replaces a file whole or not at all: the content goes to a temporary file in the
// target's directory (unnamed where the file system allows), which is renamed over the
// target only once fully written. The content may be written piece by piece, so that
// no writer needs it in memory at once.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/ByteSpan.h"
#include "platform/Result.h"

namespace quen {

// The new content of `path`, growing until commit() puts it in place. Dropped without
// commit, it leaves nothing behind and the target as it was. Any thread may write one;
// termination signals remove its temporary file when it has a name.
class FileReplacement {
  public:
    // Opens the target's directory under the link rules (CheckedDirectory) and creates
    // the temporary file in it; a failure is kept for commit() to report, so that
    // callers report it in their own order.
    explicit FileReplacement(const std::string& path);
    FileReplacement(FileReplacement&&) noexcept;
    FileReplacement& operator=(FileReplacement&&) noexcept;
    ~FileReplacement();

    // Appends the pieces one after the other; after a failure nothing more is written.
    void append(std::span<const ByteSpan> pieces);
    // Overwrites bytes appended earlier, from `offset` on (a length known at the end).
    void overwrite(std::uint64_t offset, ByteSpan bytes);

    // Puts the content in place of the target: a symbolic link at the target is
    // followed and its target replaced. A new file gets mode 0666 less the umask; a
    // replaced one keeps its mode (and, where permitted, its owner). An existing target
    // that is not a regular file, may not be written (by the system or by
    // mayWriteExisting) or is locked by another opener is refused. The first failure in the order
    // links, existing target, temporary file, writes is returned; after any failure the target is
    // as it was.
    Result<void> commit();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Writes `pieces` one after the other as the new content of `path`, as a
// FileReplacement does.
Result<void> replaceFileAtomically(const std::string& path, std::span<const ByteSpan> pieces);

}  // namespace quen
