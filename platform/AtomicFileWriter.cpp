// Temporary file, write, fsync and rename behind every data file.
#include "platform/AtomicFileWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <utility>

#include "platform/FileHandle.h"

namespace quen {
namespace {

constexpr int MAX_LINK_DEPTH = 40;  // the kernel's own limit for a path lookup
constexpr int NAME_ATTEMPTS = 100;

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links until `path` names something else or nothing. False, with
// errno set, when a link cannot be read or the chain is too long.
bool followLinks(std::string& path) {
    for (int depth = 0; depth < MAX_LINK_DEPTH; ++depth) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return true;
        }
        std::string target(static_cast<std::size_t>(info.st_size) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) {
            return false;
        }
        target.resize(static_cast<std::size_t>(length));
        path = target.starts_with('/') ? target : directoryOf(path) + "/" + target;
    }
    errno = ELOOP;
    return false;
}

// A new file in `directory` under an unused name; removed again unless kept.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::string& directory) {
        std::random_device random;
        for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
            path_ = directory + "/.quen-" + std::to_string(random()) + ".tmp";
            // 0666 lets the kernel apply the umask (and any default ACL) as for any new
            // file.
            file_ =
                FileHandle(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (file_.valid() || errno != EEXIST) {
                break;
            }
        }
        if (!file_.valid()) {
            error_ = errno;
            path_.clear();
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        file_.close();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    bool valid() const { return file_.valid(); }
    // errno of the failed creation.
    int error() const { return error_; }
    int fd() const { return file_.get(); }
    const std::string& path() const { return path_; }
    bool close() { return file_.close(); }
    // The file now lives under another name and must not be removed.
    void release() { path_.clear(); }

  private:
    std::string path_;
    FileHandle file_;
    int error_ = 0;
};

}  // namespace

std::optional<FailureCategory> replaceFileAtomically(const std::string& path,
                                                     std::span<const ByteSpan> pieces) {
    std::string target = path;
    if (target.empty()) {
        return categoryOfErrno(ENOENT, target);
    }
    if (!followLinks(target)) {
        return categoryOfErrno(errno, target);
    }
    const auto failure = [&target](int error) { return categoryOfErrno(error, target); };

    // An existing file must be one this process may write and that no one else holds
    // locked; the lock stays until its replacement is in place.
    FileHandle existing;
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        return failure(errno);
    }
    if (exists) {
        // Renaming over a directory, device or pipe would destroy something that is
        // not a data file.
        if (!S_ISREG(info.st_mode)) {
            return failure(S_ISDIR(info.st_mode) ? EISDIR : EACCES);
        }
        existing = FileHandle(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
        if (!existing.valid()) {
            return failure(errno);
        }
        if (::flock(existing.get(), LOCK_EX | LOCK_NB) != 0) {
            return failure(errno);
        }
    }

    TemporaryFile temporary(directoryOf(target));
    if (!temporary.valid()) {
        return failure(temporary.error());
    }
    if (exists) {
        // Ownership is kept where the process may give it away; the mode always. A
        // variable, not a cast to void, so fortified builds accept the ignored result.
        [[maybe_unused]] const int ownerKept = ::fchown(temporary.fd(), info.st_uid, info.st_gid);
        if (::fchmod(temporary.fd(), info.st_mode & 07777) != 0) {
            return failure(errno);
        }
    }
    for (const ByteSpan piece : pieces) {
        if (!writeAll(temporary.fd(), piece.data(), piece.size())) {
            return failure(errno);
        }
    }
    if (::fsync(temporary.fd()) != 0 || !temporary.close()) {
        return failure(errno);
    }
    if (::rename(temporary.path().c_str(), target.c_str()) != 0) {
        return failure(errno);
    }
    temporary.release();
    return std::nullopt;
}

}  // namespace quen
