// open (non-blocking, so a FIFO opens at once), fstat, then read up to the size seen.
#include "platform/RegularFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "platform/FileHandle.h"
#include "platform/InputFile.h"

namespace quen {

Result<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::uint64_t maxBytes) {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) {
        return systemFailure(errno, path, "cannot open: ");
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return systemFailure(errno, path, "cannot read: ");
    }
    if (!S_ISREG(info.st_mode)) {
        return Failure{FailureCategory::AccessDenied,
                       "not a regular file but " + describeKind(fileKindOf(info.st_mode))};
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > maxBytes) {
        return Failure{FailureCategory::Generic,
                       std::to_string(size) + " bytes, larger than any data file can be"};
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return Failure{FailureCategory::Generic,
                       "not enough memory to read " + std::to_string(size) + " bytes"};
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return systemFailure(errno, path, "cannot read: ");
        }
        if (got == 0) {
            // Shrunk while being read: inspect what is there.
            bytes.resize(done);
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

}  // namespace quen
