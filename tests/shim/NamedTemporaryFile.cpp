// Preloaded into the program by the signal tests: the file system offers no unnamed
// temporary files, as network and FUSE shares do not, and a flush to disk never
// returns (unless QUEN_SHIM_FLUSH is set), so that a test can stop the program while
// its named temporary file exists. With QUEN_SHIM_TAKEN=K, of every K + 1 temporary
// names tried (by creation or by link) the first K are taken already; with
// QUEN_SHIM_UNNAMED set, unnamed files are offered, and the names taken are their links'.
// QUEN_SHIM_UNNAMED_ERROR=E refuses unnamed files with errno E, as some kernels and file
// systems do, instead of EOPNOTSUPP.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<long> namesTried{0};

// Whether the temporary name `path` counts as taken; errno is EEXIST when it does.
bool taken(const char* path) {
    const char* limit = std::getenv("QUEN_SHIM_TAKEN");
    const char* slash = std::strrchr(path, '/');
    if (limit == nullptr || std::strncmp(slash ? slash + 1 : path, ".quen-", 6) != 0) {
        return false;
    }
    const long k = std::atol(limit);
    if (namesTried++ % (k + 1) == k) {
        return false;
    }
    errno = EEXIST;
    return true;
}

int unnamedRefusal() {
    const char* error = std::getenv("QUEN_SHIM_UNNAMED_ERROR");
    return error != nullptr ? std::atoi(error) : EOPNOTSUPP;
}

bool refusesUnnamed(int flags) {
    return (flags & O_TMPFILE) == O_TMPFILE && std::getenv("QUEN_SHIM_UNNAMED") == nullptr;
}

using OpenFunction = int (*)(const char*, int, ...);
using OpenAtFunction = int (*)(int, const char*, int, ...);

mode_t modeOf(int flags, va_list arguments) {
    const bool takesMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    return takesMode ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

int openOrRefuse(const char* name, const char* path, int flags, va_list arguments) {
    if (refusesUnnamed(flags)) {
        errno = unnamedRefusal();
        return -1;
    }
    const auto next = reinterpret_cast<OpenFunction>(::dlsym(RTLD_NEXT, name));
    return next(path, flags, modeOf(flags, arguments));
}

int openAtOrRefuse(const char* name, int directory, const char* path, int flags,
                   va_list arguments) {
    if (refusesUnnamed(flags)) {
        errno = unnamedRefusal();
        return -1;
    }
    if ((flags & O_CREAT) != 0 && taken(path)) {
        return -1;
    }
    const auto next = reinterpret_cast<OpenAtFunction>(::dlsym(RTLD_NEXT, name));
    return next(directory, path, flags, modeOf(flags, arguments));
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openOrRefuse("open", path, flags, arguments);
    va_end(arguments);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openOrRefuse("open64", path, flags, arguments);
    va_end(arguments);
    return fd;
}

extern "C" int openat(int directory, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openAtOrRefuse("openat", directory, path, flags, arguments);
    va_end(arguments);
    return fd;
}

extern "C" int openat64(int directory, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openAtOrRefuse("openat64", directory, path, flags, arguments);
    va_end(arguments);
    return fd;
}

extern "C" int linkat(int from, const char* path, int to, const char* name, int flags) {
    if (taken(name)) {
        return -1;
    }
    using LinkAtFunction = int (*)(int, const char*, int, const char*, int);
    return reinterpret_cast<LinkAtFunction>(::dlsym(RTLD_NEXT, "linkat"))(from, path, to, name,
                                                                          flags);
}

extern "C" int fsync(int fd) {
    if (std::getenv("QUEN_SHIM_FLUSH") != nullptr) {
        return reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"))(fd);
    }
    for (;;) {
        ::pause();
    }
}
