// open, flock, fstat and pread behind the recording reader.
#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quen {

InputFile::InputFile(const std::string& path) : path_(path) {
    // Non-blocking, so that a pipe named as the recording cannot stall the job.
    file_ = FileHandle(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file_.valid() || ::flock(file_.get(), LOCK_SH | LOCK_NB) != 0 ||
        ::fstat(file_.get(), &info) != 0) {
        // Readers may share the file; a writer's exclusive lock keeps them out.
        failure_ = categoryOfErrno(errno, path);
        return;
    }
    // Some file systems report a directory's size as 0, so its read would not fail.
    if (S_ISDIR(info.st_mode)) {
        failure_ = categoryOfErrno(EISDIR, path);
        return;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
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
            failure_ = categoryOfErrno(errno, path_);
        } else if (got == 0) {
            failure_ = FailureCategory::EndOfFile;
        }
        done += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    return !failure_;
}

}  // namespace quen
