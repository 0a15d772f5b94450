// An input file read at any offset: found under the link rules (LinkRule.h) or, for a
// descriptor's link under /proc, as the kernel finds it; looked at
// before it is opened so that no pipe, socket or device is ever opened, then opened
// read-only and non-blocking under a shared lock, sized once. A recording is read this
// way so that a refused one is never read whole. The one test for "regular files only"
// is here too.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/FileHandle.h"
#include "platform/Result.h"

namespace quen {

// What a path names, so that a reader that takes regular files only can say what it
// was given instead.
enum class FileKind { Regular, Directory, Pipe, Socket, Device, Other };

FileKind fileKindOf(mode_t mode);

// "a regular file", "a directory", "a pipe", "a socket", "a device" or "something else".
std::string describeKind(FileKind kind);

class InputFile {
  public:
    // Anything but a regular file is left unopened: kind() says what it is, and it has
    // no bytes.
    explicit InputFile(const std::string& path);

    // A regular file only. NotRegular names what the path is ("a pipe"); CannotOpen has
    // the system's words, and says so for a link the link rule does not follow.
    static Result<InputFile> openRegular(const std::string& path);

    // Set when the file could not be opened, locked or read (CannotOpen, CannotRead),
    // with the system's words; a read that stopped short is EndOfFile.
    const std::optional<Failure>& failure() const { return failure_; }
    // The size the file system gave when it was opened.
    std::uint64_t size() const { return size_; }
    // What the path named when it was opened (Regular when the open failed).
    FileKind kind() const { return kind_; }

    // Fills `out` with the bytes from `offset` on; false, with failure() set, when that
    // cannot be done.
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out);

    // Reads what the file holds from `offset` on, at most out.size() bytes: the count
    // read, 0 at the end of the file; empty, with failure() set, when the read fails.
    // For readers that take data as it comes, a library's I/O callbacks say.
    std::optional<std::size_t> readUpTo(std::uint64_t offset, std::span<std::uint8_t> out);

  private:
    std::string path_;
    FileHandle file_;
    std::uint64_t size_ = 0;
    FileKind kind_ = FileKind::Regular;
    std::optional<Failure> failure_;
};

}  // namespace quen
