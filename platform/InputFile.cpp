// open, flock, fstat and pread behind the recording reader.
#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quen {

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
    // Non-blocking, so that a pipe named as the recording cannot stall the job.
    file_ = FileHandle(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file_.valid() || ::flock(file_.get(), LOCK_SH | LOCK_NB) != 0 ||
        ::fstat(file_.get(), &info) != 0) {
        // Readers may share the file; a writer's exclusive lock keeps them out.
        failure_ = systemFailure(errno, path, {}, FailureReason::CannotOpen);
        return;
    }
    kind_ = fileKindOf(info.st_mode);
    // Some file systems report a directory's size as 0, so its read would not fail.
    if (kind_ == FileKind::Directory) {
        failure_ = systemFailure(EISDIR, path, {}, FailureReason::CannotOpen);
        return;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
}

Result<InputFile> InputFile::openRegular(const std::string& path) {
    const auto notRegular = [](FileKind kind) {
        return Failure{FailureCategory::AccessDenied, describeKind(kind),
                       FailureReason::NotRegular};
    };
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return systemFailure(errno, path, {}, FailureReason::CannotOpen);
    }
    if (const FileKind kind = fileKindOf(info.st_mode); kind != FileKind::Regular) {
        return notRegular(kind);
    }
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
