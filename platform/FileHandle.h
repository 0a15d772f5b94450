// Owner of one open file descriptor, and the unbuffered writes every file writer uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quen {

class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    ~FileHandle();

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; returns false (errno set) when close reported an error.
    bool close();

  private:
    int fd_ = -1;
};

// Writes all bytes, continuing after partial writes and EINTR. False with errno set
// when the operating system refuses the write.
bool writeAll(int fd, const void* data, std::size_t size);
inline bool writeAll(int fd, std::string_view bytes) {
    return writeAll(fd, bytes.data(), bytes.size());
}

// Writes the pieces one after the other with as few system calls as the kernel allows
// (vectored writes), continuing after partial writes and EINTR.
bool writeAll(int fd, std::span<const std::span<const std::uint8_t>> pieces);

}  // namespace quen
