// open, flock, fstat and read behind the WAV input.
#include "platform/WholeFileReader.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "platform/FileHandle.h"

namespace quen {
namespace {

WholeFile failedWith(FailureCategory category) {
    return {{}, category};
}

}  // namespace

WholeFile readWholeFile(const std::string& path) {
    // Non-blocking, so that a pipe named as the recording cannot stall the job.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) {
        return failedWith(categoryOfErrno(errno, path));
    }
    // Readers may share the file; a writer's exclusive lock keeps them out.
    if (::flock(file.get(), LOCK_SH | LOCK_NB) != 0) {
        return failedWith(categoryOfErrno(errno, path));
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return failedWith(categoryOfErrno(errno, path));
    }
    // Some file systems report a directory's size as 0, so its read would not fail.
    if (S_ISDIR(info.st_mode)) {
        return failedWith(categoryOfErrno(EISDIR, path));
    }
    WholeFile result;
    try {
        result.bytes.resize(static_cast<std::size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        return failedWith(categoryOfErrno(ENOMEM, path));
    }
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const ssize_t got =
            ::read(file.get(), result.bytes.data() + done, result.bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return failedWith(categoryOfErrno(errno, path));
        }
        if (got == 0) {
            return failedWith(FailureCategory::EndOfFile);
        }
        done += static_cast<std::size_t>(got);
    }
    return result;
}

}  // namespace quen
