// Temporary file, writes, fsync and rename behind every data file.
#include "platform/AtomicFileWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <random>
#include <utility>

#include "platform/CheckedDirectory.h"
#include "platform/FileHandle.h"
#include "platform/ProcessSetup.h"

namespace quen {
namespace {

constexpr int NAME_ATTEMPTS = 100;

// A hidden name that nothing uses yet.
std::string temporaryName() {
    // One per thread: a batch's workers name their files at the same time.
    thread_local std::random_device random;
    return ".quen-" + std::to_string(random()) + ".tmp";
}

// The new content's file in the target's directory. Where the file system allows it,
// the file has no name until it is complete, so even a killed process leaves nothing
// behind; elsewhere it has a hidden name from the start. A termination signal removes
// a named one.
class TemporaryFile {
  public:
    explicit TemporaryFile(const CheckedDirectory& directory) : directory_(directory) {
        // 0666 lets the kernel apply the umask (and any default ACL) as for any new file.
        // The unnamed file is named later through /proc, so it needs /proc mounted.
        if (::access("/proc/self/fd", X_OK) == 0) {
            file_ =
                FileHandle(::openat(directory.fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
            if (file_.valid() || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
                error_ = errno;
                return;
            }
        }
        for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
            const TemporaryFileCreation creation;
            if (!remember(creation)) {
                break;
            }
            file_ =
                FileHandle(::openat(directory_.fd(), name_.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
            error_ = errno;
            if (file_.valid()) {
                return;
            }
            forget();
            if (error_ != EEXIST) {
                break;
            }
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        // Removed here and, should a termination signal come first, by its removal:
        // whichever is second finds nothing.
        file_.close();
        if (!name_.empty()) {
            ::unlinkat(directory_.fd(), name_.c_str(), 0);
        }
        forget();
    }

    bool valid() const { return file_.valid(); }
    // errno of the failed creation.
    int error() const { return error_; }
    int fd() const { return file_.get(); }

    // Closes the file and puts it in place of `target` in the directory; false with
    // errno set.
    bool replace(const std::string& target) {
        if (name_.empty() && !giveName()) {
            return false;
        }
        // The rename and the end of the registration are one step for a termination
        // signal's removal: it finds the file under its temporary name or in place.
        const TemporaryFileCreation renaming;
        if (!renaming.allowed()) {
            errno = EINTR;
            return false;
        }
        if (!file_.close() ||
            ::renameat(directory_.fd(), name_.c_str(), directory_.fd(), target.c_str()) != 0) {
            return false;
        }
        forget();
        return true;
    }

  private:
    // An unnamed file gets a hidden name for the moment between link and rename.
    bool giveName() {
        const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
        for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
            const TemporaryFileCreation creation;
            if (!remember(creation)) {
                break;
            }
            if (::linkat(AT_FDCWD, self.c_str(), directory_.fd(), name_.c_str(),
                         AT_SYMLINK_FOLLOW) == 0) {
                return true;
            }
            const int error = errno;
            forget();
            errno = error;
            if (error != EEXIST) {
                break;
            }
        }
        return false;
    }

    // Picks a new name and registers it for termination signals to remove, before the
    // file is made within `creation`: a signal that comes while this thread makes it
    // waits for it, then removes it. False, errno set, when no more names can be kept or
    // the process is ending.
    bool remember(const TemporaryFileCreation& creation) {
        if (!creation.allowed()) {
            error_ = EINTR;
            errno = EINTR;
            return false;
        }
        name_ = temporaryName();
        // The signal handler knows paths only: the directory as walked, with no link on it.
        registration_ = addTemporaryFileToRemove(directory_.path() + "/" + name_);
        if (registration_ < 0) {
            name_.clear();
            error_ = EMFILE;
            errno = EMFILE;
        }
        return registration_ >= 0;
    }

    // The file needs no removal from here on: renamed, or never named.
    void forget() {
        forgetTemporaryFile(registration_);
        registration_ = -1;
        name_.clear();
    }

    const CheckedDirectory& directory_;
    std::string name_;
    FileHandle file_;
    int error_ = 0;
    int registration_ = -1;
};

}  // namespace

struct FileReplacement::State {
    explicit State(const std::string& path) : target(CheckedDirectory::openParentOf(path)) {
        if (target) {
            temporary.emplace(target->first);
            writeError = temporary->valid() ? 0 : temporary->error();
        }
    }

    // The checked directory and the target's name in it; the temporary file refers to it.
    Result<std::pair<CheckedDirectory, std::string>> target;
    std::optional<TemporaryFile> temporary;
    int writeError = 0;  // errno of the first failure to create or write the file
};

FileReplacement::FileReplacement(const std::string& path) : state_(std::make_unique<State>(path)) {}
FileReplacement::FileReplacement(FileReplacement&&) noexcept = default;
FileReplacement& FileReplacement::operator=(FileReplacement&&) noexcept = default;
FileReplacement::~FileReplacement() = default;

void FileReplacement::append(std::span<const ByteSpan> pieces) {
    State& state = *state_;
    if (state.temporary && state.writeError == 0 && !writeAll(state.temporary->fd(), pieces)) {
        state.writeError = errno;
    }
}

void FileReplacement::overwrite(std::uint64_t offset, ByteSpan bytes) {
    State& state = *state_;
    if (!state.temporary || state.writeError != 0) {
        return;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(state.temporary->fd(), bytes.data() + done,
                                         bytes.size() - done, static_cast<off_t>(offset + done));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            state.writeError = errno;
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

Result<void> FileReplacement::commit() {
    State& state = *state_;
    if (!state.target) {
        return state.target.failure();
    }
    const auto& [directory, name] = *state.target;
    const std::string target = directory.path() + "/" + name;
    const auto failure = [&target](int error) { return systemFailure(error, target); };

    // An existing file must be one this process may write under the link rules and that
    // no one else holds locked; the lock stays until its replacement is in place.
    FileHandle existing;
    struct stat info {};
    const bool exists = ::fstatat(directory.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) {
        return failure(errno);
    }
    if (exists) {
        // Renaming over a directory, device or pipe would destroy something that is
        // not a data file; a link put in place since the walk is not followed.
        if (!S_ISREG(info.st_mode)) {
            return failure(S_ISDIR(info.st_mode) ? EISDIR : EACCES);
        }
        auto opened = directory.openForWriting(name, O_WRONLY, 0);
        if (!opened) {
            return opened.failure();
        }
        existing = std::move(*opened);
        if (::fstat(existing.get(), &info) != 0 ||
            ::flock(existing.get(), LOCK_EX | LOCK_NB) != 0) {
            return failure(errno);
        }
    }
    if (state.writeError != 0) {
        return failure(state.writeError);
    }
    TemporaryFile& temporary = *state.temporary;
    if (exists) {
        // Ownership is kept where the process may give it away; the mode always. A
        // variable, not a cast to void, so fortified builds accept the ignored result.
        [[maybe_unused]] const int ownerKept = ::fchown(temporary.fd(), info.st_uid, info.st_gid);
        if (::fchmod(temporary.fd(), info.st_mode & 07777) != 0) {
            return failure(errno);
        }
    }
    if (::fsync(temporary.fd()) != 0 || !temporary.replace(name)) {
        return failure(errno);
    }
    return {};
}

Result<void> replaceFileAtomically(const std::string& path, std::span<const ByteSpan> pieces) {
    FileReplacement replacement(path);
    replacement.append(pieces);
    return replacement.commit();
}

}  // namespace quen
