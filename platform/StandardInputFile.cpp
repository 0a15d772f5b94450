// The copy is made by read and write through one buffer: standard input may be a pipe,
// a terminal or a file, and only a pipe or a file would take splice.
#include "platform/StandardInputFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace quen {
namespace {

constexpr std::size_t BUFFER_BYTES = 1 << 16;

std::string temporaryDirectory() {
    const char* directory = std::getenv("TMPDIR");
    return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

Failure tooLarge(std::uint64_t maxBytes) {
    return Failure{FailureCategory::Generic,
                   "more than " + std::to_string(maxBytes) + " bytes, the most read here",
                   FailureReason::TooLarge};
}

}  // namespace

StandardInputFile::StandardInputFile(FileHandle file, std::uint64_t size)
    : file_(std::move(file)),
      size_(size),
      path_("/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(file_.get())) {}

Result<StandardInputFile> StandardInputFile::spool(std::uint64_t maxBytes, int input) {
    // A file given as standard input that is too large is refused before it is copied.
    struct stat info {};
    if (::fstat(input, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        return tooLarge(maxBytes);
    }
    const std::string directory = temporaryDirectory();
    FileHandle file(::open(directory.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600));
    if (!file.valid()) {
        return systemFailure(errno, directory,
                             "cannot make a temporary file: ", FailureReason::CannotOpen);
    }
    std::vector<char> buffer(BUFFER_BYTES);
    std::uint64_t size = 0;
    while (true) {
        const ssize_t got = ::read(input, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno == EAGAIN) {
            // A caller may hand over a non-blocking descriptor: wait for its data.
            pollfd ready{input, POLLIN, 0};
            ::poll(&ready, 1, -1);
            continue;
        }
        if (got < 0) {
            return systemFailure(errno, directory, {}, FailureReason::CannotRead);
        }
        if (got == 0) {
            break;
        }
        if (size + static_cast<std::uint64_t>(got) > maxBytes) {
            return tooLarge(maxBytes);
        }
        if (!writeAll(file.get(), buffer.data(), static_cast<std::size_t>(got))) {
            return systemFailure(errno, directory,
                                 "cannot keep it in a temporary file: ", FailureReason::CannotOpen);
        }
        size += static_cast<std::uint64_t>(got);
    }
    return StandardInputFile(std::move(file), size);
}

}  // namespace quen
