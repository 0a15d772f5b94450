// Preloaded into the programs by the transfer tests: every read and write moves at most
// a few bytes, as the kernel may on any call (a pipe, a signal, a network share), so
// that a loop that counts what one call moved the wrong way shows in what it leaves.
#include <dlfcn.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// 1 to 7 bytes, in turn, so that pieces end at every place within headers, frames
// and vectors.
constexpr std::size_t MOST = 7;
std::atomic<std::size_t> calls{0};

std::size_t allowed(std::size_t size) {
    return std::min(size, calls++ % MOST + 1);
}

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, std::size_t size) {
    static const auto real = next<ssize_t (*)(int, void*, std::size_t)>("read");
    return real(fd, buffer, allowed(size));
}

extern "C" ssize_t pread(int fd, void* buffer, std::size_t size, off_t offset) {
    static const auto real = next<ssize_t (*)(int, void*, std::size_t, off_t)>("pread");
    return real(fd, buffer, allowed(size), offset);
}

extern "C" ssize_t pread64(int fd, void* buffer, std::size_t size, off_t offset) {
    return pread(fd, buffer, size, offset);
}

extern "C" ssize_t write(int fd, const void* buffer, std::size_t size) {
    static const auto real = next<ssize_t (*)(int, const void*, std::size_t)>("write");
    return real(fd, buffer, allowed(size));
}

extern "C" ssize_t pwrite(int fd, const void* buffer, std::size_t size, off_t offset) {
    static const auto real = next<ssize_t (*)(int, const void*, std::size_t, off_t)>("pwrite");
    return real(fd, buffer, allowed(size), offset);
}

extern "C" ssize_t pwrite64(int fd, const void* buffer, std::size_t size, off_t offset) {
    return pwrite(fd, buffer, size, offset);
}

// The first bytes of the vectors, gathered into one write that takes a few of them.
extern "C" ssize_t writev(int fd, const struct iovec* vectors, int count) {
    char gathered[MOST];
    std::size_t size = 0;
    for (int i = 0; i < count && size < MOST; ++i) {
        const std::size_t taken = std::min(vectors[i].iov_len, MOST - size);
        std::memcpy(gathered + size, vectors[i].iov_base, taken);
        size += taken;
    }
    return write(fd, gathered, size);
}
