// RAII file descriptor and the write loop shared by the log, console and data files.
#include "platform/FileHandle.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quen {

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileHandle::~FileHandle() {
    close();
}

bool FileHandle::close() {
    if (fd_ < 0) {
        return true;
    }
    const int result = ::close(std::exchange(fd_, -1));
    return result == 0;
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace quen
