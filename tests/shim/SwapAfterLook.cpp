// Preloaded into the programs by the input tests: the moment the program has looked at
// QUEN_SHIM_SWAP_PATH (a stat of it, or an O_PATH open), the file QUEN_SHIM_SWAP_WITH (a
// device node or a pipe) is renamed over it, so the race between a look and an open is
// lost every time. QUEN_SHIM_REPORT receives "swapped" then, and "opened" for any later
// open that reaches the swapped-in file. With QUEN_SHIM_NO_PROC, /proc/self/fd is
// missing, as where /proc is not mounted.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

bool swapped = false;
struct stat swappedIn {};

void report(const char* line) {
    const char* file = std::getenv("QUEN_SHIM_REPORT");
    const int fd = file == nullptr ? -1 : ::open(file, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, line, std::strlen(line));
        ::close(fd);
    }
}

void looked(const char* path) {
    const char* target = std::getenv("QUEN_SHIM_SWAP_PATH");
    const char* with = std::getenv("QUEN_SHIM_SWAP_WITH");
    if (swapped || target == nullptr || with == nullptr || std::strcmp(path, target) != 0) {
        return;
    }
    swapped = ::lstat(with, &swappedIn) == 0 && ::rename(with, target) == 0;
    report(swapped ? "swapped\n" : "not swapped\n");
}

int opened(int fd, int flags) {
    struct stat info {};
    if (fd >= 0 && swapped && (flags & O_PATH) == 0 && ::fstat(fd, &info) == 0 &&
        info.st_dev == swappedIn.st_dev && info.st_ino == swappedIn.st_ino) {
        report("opened\n");
    }
    return fd;
}

bool withoutProc(const char* path) {
    if (std::getenv("QUEN_SHIM_NO_PROC") != nullptr && std::strncmp(path, "/proc/", 6) == 0) {
        errno = ENOENT;
        return true;
    }
    return false;
}

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

int openNamed(const char* name, const char* path, int flags, va_list arguments) {
    const bool takesMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = takesMode ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    if (withoutProc(path)) {
        return -1;
    }
    const int fd = next<int (*)(const char*, int, ...)>(name)(path, flags, mode);
    if (fd >= 0 && (flags & O_PATH) != 0) {
        looked(path);
    }
    return opened(fd, flags);
}

int openAtNamed(const char* name, int directory, const char* path, int flags, va_list arguments) {
    const bool takesMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = takesMode ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    if (withoutProc(path)) {
        return -1;
    }
    const int fd = next<int (*)(int, const char*, int, ...)>(name)(directory, path, flags, mode);
    if (fd >= 0 && (flags & O_PATH) != 0) {
        looked(path);
    }
    return opened(fd, flags);
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openNamed("open", path, flags, arguments);
    va_end(arguments);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openNamed("open64", path, flags, arguments);
    va_end(arguments);
    return fd;
}

extern "C" int openat(int directory, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openAtNamed("openat", directory, path, flags, arguments);
    va_end(arguments);
    return fd;
}

extern "C" int openat64(int directory, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openAtNamed("openat64", directory, path, flags, arguments);
    va_end(arguments);
    return fd;
}

extern "C" int stat(const char* path, struct stat* info) {
    const int result = next<int (*)(const char*, struct stat*)>("stat")(path, info);
    if (result == 0) {
        looked(path);
    }
    return result;
}

extern "C" int stat64(const char* path, struct stat64* info) {
    const int result = next<int (*)(const char*, struct stat64*)>("stat64")(path, info);
    if (result == 0) {
        looked(path);
    }
    return result;
}
