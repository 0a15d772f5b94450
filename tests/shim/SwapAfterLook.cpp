// Preloaded into the programs by the input tests: the moment the program has looked at
// QUEN_SHIM_SWAP_PATH (a stat of it, an O_PATH open, or an fstat of a descriptor of that
// file), it and QUEN_SHIM_SWAP_WITH (a device node or a pipe) change places, so the race
// between a look and an open is lost every time. With QUEN_SHIM_SWAP_AFTER, the swap
// comes instead when the program has looked at that path with lstat (the last step of
// its link walk), so that a directory on the path can turn into a link meanwhile.
// QUEN_SHIM_REPORT receives "swapped" then, and "opened" for any later open that reaches
// the swapped-in file. With QUEN_SHIM_NO_PROC, /proc is missing, as where it is not
// mounted; with QUEN_SHIM_NO_HANDLES, no file opens by its handle, as for a process that
// is not root.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool swapped = false;
struct stat swappedIn {};

// The shim's own looks, which its hooks do not see.
bool lookWithoutHooks(const char* path, struct stat& info) {
    return ::fstatat(AT_FDCWD, path, &info, AT_SYMLINK_NOFOLLOW) == 0;
}

void report(const char* line) {
    const char* file = std::getenv("QUEN_SHIM_REPORT");
    const int fd = file == nullptr ? -1 : ::open(file, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, line, std::strlen(line));
        ::close(fd);
    }
}

// The target's identity, taken before anything is swapped.
const struct stat* original() {
    static struct stat info {};
    static const bool known = [] {
        const char* target = std::getenv("QUEN_SHIM_SWAP_PATH");
        return target != nullptr && lookWithoutHooks(target, info);
    }();
    return known ? &info : nullptr;
}

void swap() {
    const char* target = std::getenv("QUEN_SHIM_SWAP_PATH");
    const char* with = std::getenv("QUEN_SHIM_SWAP_WITH");
    if (swapped || target == nullptr || with == nullptr) {
        return;
    }
    swapped = lookWithoutHooks(with, swappedIn) &&
              ::renameat2(AT_FDCWD, with, AT_FDCWD, target, RENAME_EXCHANGE) == 0;
    report(swapped ? "swapped\n" : "not swapped\n");
}

// The program looked at `path`, by lstat or otherwise.
void lookedAt(const char* path, bool byLstat) {
    const char* after = std::getenv("QUEN_SHIM_SWAP_AFTER");
    const char* trigger = after != nullptr ? after : std::getenv("QUEN_SHIM_SWAP_PATH");
    if (trigger != nullptr && byLstat == (after != nullptr) && std::strcmp(path, trigger) == 0) {
        swap();
    }
}

// The program looked at a descriptor (fstat).
void lookedAt(const struct stat& info) {
    const struct stat* target = original();
    if (std::getenv("QUEN_SHIM_SWAP_AFTER") == nullptr && target != nullptr &&
        info.st_dev == target->st_dev && info.st_ino == target->st_ino) {
        swap();
    }
}

int opened(int fd, int flags) {
    struct stat info {};
    if (fd >= 0 && swapped && (flags & O_PATH) == 0 &&
        ::fstatat(fd, "", &info, AT_EMPTY_PATH) == 0 && info.st_dev == swappedIn.st_dev &&
        info.st_ino == swappedIn.st_ino) {
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

mode_t modeOf(int flags, va_list arguments) {
    const bool takesMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    return takesMode ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

int openNamed(const char* name, const char* path, int flags, va_list arguments) {
    original();
    const mode_t mode = modeOf(flags, arguments);
    if (withoutProc(path)) {
        return -1;
    }
    const int fd = next<int (*)(const char*, int, ...)>(name)(path, flags, mode);
    if (fd >= 0 && (flags & O_PATH) != 0) {
        lookedAt(path, false);
    }
    return opened(fd, flags);
}

int openAtNamed(const char* name, int directory, const char* path, int flags, va_list arguments) {
    original();
    const mode_t mode = modeOf(flags, arguments);
    if (withoutProc(path)) {
        return -1;
    }
    const int fd = next<int (*)(int, const char*, int, ...)>(name)(directory, path, flags, mode);
    if (fd >= 0 && (flags & O_PATH) != 0) {
        lookedAt(path, false);
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

extern "C" int fstat(int fd, struct stat* info) {
    original();
    const int result = next<int (*)(int, struct stat*)>("fstat")(fd, info);
    if (result == 0) {
        lookedAt(*info);
    }
    return result;
}

extern "C" int lstat(const char* path, struct stat* info) {
    original();
    const int result = next<int (*)(const char*, struct stat*)>("lstat")(path, info);
    lookedAt(path, true);
    return result;
}

extern "C" int stat(const char* path, struct stat* info) {
    original();
    const int result = next<int (*)(const char*, struct stat*)>("stat")(path, info);
    if (result == 0) {
        lookedAt(path, false);
    }
    return result;
}

extern "C" int stat64(const char* path, struct stat64* info) {
    original();
    const int result = next<int (*)(const char*, struct stat64*)>("stat64")(path, info);
    if (result == 0) {
        lookedAt(path, false);
    }
    return result;
}

extern "C" int open_by_handle_at(int mount, struct file_handle* handle, int flags) {
    if (std::getenv("QUEN_SHIM_NO_HANDLES") != nullptr) {
        errno = EPERM;
        return -1;
    }
    return next<int (*)(int, struct file_handle*, int)>("open_by_handle_at")(mount, handle, flags);
}
