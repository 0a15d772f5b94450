// Preloaded into the program by the signal tests: the file system offers no unnamed
// temporary files, as network and FUSE shares do not, and a flush to disk never
// returns (unless QUEN_SHIM_FLUSH is set), so that a test can stop the program while
// its named temporary file exists.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

namespace {

using OpenFunction = int (*)(const char*, int, ...);

int openOrRefuse(const char* name, const char* path, int flags, va_list arguments) {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    const mode_t mode = (flags & O_CREAT) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    const auto next = reinterpret_cast<OpenFunction>(::dlsym(RTLD_NEXT, name));
    return next(path, flags, mode);
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

extern "C" int fsync(int fd) {
    if (std::getenv("QUEN_SHIM_FLUSH") != nullptr) {
        return reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"))(fd);
    }
    for (;;) {
        ::pause();
    }
}
