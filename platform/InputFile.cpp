// The link walk, a look at the file by an O_PATH descriptor, the reopen of that very
// file, flock and pread behind every reader.
#include "platform/InputFile.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/LinkRule.h"

namespace quen {
namespace {

constexpr int READ_FLAGS = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC;

// The path as walked (no link on it), opened O_PATH through no link at all, so that a
// link put on it since the walk is refused rather than followed. Kernels before 5.6 lack
// openat2; there only the last component is held to that.
FileHandle lookAt(const std::string& walked) {
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, walked.c_str(), &how, sizeof how);
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) {
        return FileHandle(static_cast<int>(fd));
    }
    return FileHandle(::open(walked.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
}

// The file `looked` refers to, opened again by its handle: the very file, with no name
// involved. Only a process that may open files by handle (root) can; errno says why not.
// The handle is read on the mount of `path`'s directory, which an O_PATH descriptor
// cannot stand for.
FileHandle openByHandle(const FileHandle& looked, const std::string& path) {
    alignas(file_handle) unsigned char storage[sizeof(file_handle) + MAX_HANDLE_SZ] = {};
    auto* handle = reinterpret_cast<file_handle*>(storage);
    handle->handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (::name_to_handle_at(looked.get(), "", handle, &mountId, AT_EMPTY_PATH) != 0) {
        return FileHandle();
    }
    const auto slash = path.find_last_of('/');
    const std::string directory =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const FileHandle mount(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!mount.valid()) {
        return FileHandle();
    }
    return FileHandle(::open_by_handle_at(mount.get(), handle, READ_FLAGS & ~O_NOFOLLOW));
}

// The file `looked` (an O_PATH descriptor of a regular file, `info`, found at `path`)
// opened for reading. Through /proc, or else by its handle, the very file looked at is
// opened, whatever the path names by now. Where neither can be had (no /proc, and not
// root), the path is opened again and only a regular file of the same identity is kept,
// closed unread and unlocked otherwise.
FileHandle reopenForReading(const FileHandle& looked, const struct stat& info,
                            const std::string& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(looked.get());
    FileHandle file(::open(self.c_str(), READ_FLAGS & ~O_NOFOLLOW));
    if (file.valid() || errno != ENOENT) {
        return file;
    }
    file = openByHandle(looked, path);
    if (file.valid() || (errno != EPERM && errno != EOPNOTSUPP)) {
        return file;
    }
    file = FileHandle(::open(path.c_str(), READ_FLAGS));
    struct stat now {};
    if (file.valid() && (::fstat(file.get(), &now) != 0 || !S_ISREG(now.st_mode) ||
                         now.st_dev != info.st_dev || now.st_ino != info.st_ino)) {
        errno = EAGAIN;  // replaced meanwhile: as if held by a writer
        return FileHandle();
    }
    return file;
}

// "/proc/self/fd/N" or "/proc/PID/fd/N": a descriptor's link, which the kernel takes
// straight to the file it stands for, named or not (standard input kept in an unnamed
// file). Its target is no path: a walk would look for a file named like it instead.
bool isDescriptorLink(const std::string& path) {
    const auto digits = [](std::string_view text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    std::string_view rest(path);
    if (!rest.starts_with("/proc/")) {
        return false;
    }
    rest.remove_prefix(6);
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos ||
        (rest.substr(0, slash) != "self" && !digits(rest.substr(0, slash)))) {
        return false;
    }
    rest.remove_prefix(slash + 1);
    return rest.starts_with("fd/") && digits(rest.substr(3));
}

}  // namespace

FileKind fileKindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Directory;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::Pipe;
    }
    if (S_ISSOCK(mode)) {
        return FileKind::Socket;
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return FileKind::Device;
    }
    return FileKind::Other;
}

std::string describeKind(FileKind kind) {
    switch (kind) {
        case FileKind::Regular:
            return "a regular file";
        case FileKind::Directory:
            return "a directory";
        case FileKind::Pipe:
            return "a pipe";
        case FileKind::Socket:
            return "a socket";
        case FileKind::Device:
            return "a device";
        default:
            return "something else";
    }
}

InputFile::InputFile(const std::string& path) : path_(path) {
    // No link is followed that the link rule forbids, and the file is looked at before it
    // is opened, so that no pipe or device is ever opened (opening some devices already
    // does something).
    const bool descriptorLink = isDescriptorLink(path);
    const Result<std::string> resolved =
        descriptorLink ? Result<std::string>(path) : followLinks(path);
    if (!resolved) {
        failure_ = resolved.failure();
        failure_->reason = FailureReason::CannotOpen;
        return;
    }
    FileHandle looked =
        descriptorLink ? FileHandle(::open(path.c_str(), O_PATH | O_CLOEXEC)) : lookAt(*resolved);
    if (!looked.valid() && errno == ENOENT && resolved->starts_with("/proc/")) {
        // A link under /proc to a pipe or socket names no path ("pipe:[1234]"), but the
        // system still reaches it; the walk has allowed every link on the way, and only
        // the process's own /proc links lead nowhere that exists.
        looked = FileHandle(::open(path.c_str(), O_PATH | O_CLOEXEC));
    }
    struct stat info {};
    if (!looked.valid() || ::fstat(looked.get(), &info) != 0) {
        // A link put in place since the walk is one that may not be followed.
        failure_ =
            systemFailure(errno == ELOOP ? EACCES : errno, path, {}, FailureReason::CannotOpen);
        return;
    }
    kind_ = fileKindOf(info.st_mode);
    // Some file systems report a directory's size as 0, so its read would not fail.
    if (kind_ == FileKind::Directory) {
        failure_ = systemFailure(EISDIR, path, {}, FailureReason::CannotOpen);
        return;
    }
    // Anything else that is not a regular file is left unopened, and has no bytes.
    if (kind_ != FileKind::Regular) {
        return;
    }
    // Non-blocking, so that a file with a mandatory lock cannot stall the job. Readers
    // may share the file; a writer's exclusive lock keeps them out.
    file_ = reopenForReading(looked, info, *resolved);
    if (!file_.valid() || ::flock(file_.get(), LOCK_SH | LOCK_NB) != 0 ||
        ::fstat(file_.get(), &info) != 0) {
        failure_ = systemFailure(errno, path, {}, FailureReason::CannotOpen);
        return;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
}

Result<InputFile> InputFile::openRegular(const std::string& path) {
    const auto notRegular = [](FileKind kind) {
        return Failure{FailureCategory::AccessDenied, describeKind(kind),
                       FailureReason::NotRegular};
    };
    InputFile file(path);
    if (file.kind() != FileKind::Regular) {
        return notRegular(file.kind());
    }
    if (file.failure()) {
        return *file.failure();
    }
    return file;
}

bool InputFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (!failure_ && done < out.size()) {
        const ssize_t got = ::pread(file_.get(), out.data() + done, out.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            failure_ = systemFailure(errno, path_, {}, FailureReason::CannotRead);
        } else if (got == 0) {
            failure_ = Failure{FailureCategory::EndOfFile, "the read stopped short",
                               FailureReason::CannotRead};
        }
        done += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    return !failure_;
}

std::optional<std::size_t> InputFile::readUpTo(std::uint64_t offset, std::span<std::uint8_t> out) {
    while (!failure_) {
        const ssize_t got =
            ::pread(file_.get(), out.data(), out.size(), static_cast<off_t>(offset));
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            failure_ = systemFailure(errno, path_, {}, FailureReason::CannotRead);
        }
    }
    return std::nullopt;
}

}  // namespace quen
