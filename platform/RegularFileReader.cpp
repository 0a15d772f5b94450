// open (non-blocking, so a FIFO opens at once), fstat, then read up to the size seen.
#include "platform/RegularFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/FileHandle.h"
#include "platform/InputFile.h"

namespace quen {
namespace {

RegularFile failure(std::string text) {
    return {{}, std::move(text)};
}

}  // namespace

RegularFile readRegularFile(const std::string& path, std::uint64_t maxBytes) {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) {
        return failure(std::string("cannot open: ") + std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return failure(std::string("cannot read: ") + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return failure("not a regular file but " + describeKind(fileKindOf(info.st_mode)));
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > maxBytes) {
        return failure(std::to_string(size) + " bytes, larger than any data file can be");
    }
    RegularFile result;
    try {
        result.bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return failure("not enough memory to read " + std::to_string(size) + " bytes");
    }
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const ssize_t got =
            ::read(file.get(), result.bytes.data() + done, result.bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return failure(std::string("cannot read: ") + std::strerror(errno));
        }
        if (got == 0) {
            // Shrunk while being read: inspect what is there.
            result.bytes.resize(done);
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return result;
}

}  // namespace quen
