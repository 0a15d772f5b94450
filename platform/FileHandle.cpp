// RAII file descriptor and the write loop shared by the log, console and data files.
#include "platform/FileHandle.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>
#include <vector>

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

bool writeAll(int fd, std::span<const std::span<const std::uint8_t>> pieces) {
    std::vector<iovec> vectors;
    vectors.reserve(pieces.size());
    for (const auto piece : pieces) {
        if (!piece.empty()) {
            vectors.push_back({const_cast<std::uint8_t*>(piece.data()), piece.size()});
        }
    }
    std::size_t next = 0;
    while (next < vectors.size()) {
        const int count = static_cast<int>(std::min<std::size_t>(vectors.size() - next, IOV_MAX));
        ssize_t written = ::writev(fd, vectors.data() + next, count);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        // Skip what went out; a piece written in part goes on from where it stopped.
        while (next < vectors.size() &&
               static_cast<std::size_t>(written) >= vectors[next].iov_len) {
            written -= static_cast<ssize_t>(vectors[next].iov_len);
            ++next;
        }
        if (written > 0) {
            vectors[next].iov_base = static_cast<char*>(vectors[next].iov_base) + written;
            vectors[next].iov_len -= static_cast<std::size_t>(written);
        }
    }
    return true;
}

}  // namespace quen
