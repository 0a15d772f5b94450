// The descriptor walk behind CheckedDirectory: the link rule first, then one openat per
// component with O_NOFOLLOW, and mkdirat where one is missing.
#include "platform/CheckedDirectory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/LinkRule.h"

namespace quen {
namespace {

constexpr int DIRECTORY_FLAGS = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// `name` below `parent` opened as a directory; a link put in its place since the walk
// fails as access denied, being one that may not be followed.
FileHandle openDirectory(int parent, const std::string& name) {
    FileHandle next(::openat(parent, name.c_str(), DIRECTORY_FLAGS));
    struct stat info {};
    if (!next.valid() && errno == ENOTDIR &&
        ::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        errno = EACCES;
    }
    return next;
}

// `name` below `parent`, made first when `create` allows and it is missing.
FileHandle openComponent(int parent, const std::string& name, bool create) {
    FileHandle next = openDirectory(parent, name);
    if (next.valid() || errno != ENOENT || !create) {
        return next;
    }
    // Another process may make it meanwhile; that one is used as well.
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
        return next;
    }
    return openDirectory(parent, name);
}

}  // namespace

// The directory at `walked` (a path with no link on it), opened one component at a
// time; the failure names `path`, the file the caller was asked for.
Result<CheckedDirectory> CheckedDirectory::walk(const std::string& walked, bool create,
                                                const std::string& path) {
    FileHandle current(::open(walked.starts_with('/') ? "/" : ".", DIRECTORY_FLAGS & ~O_NOFOLLOW));
    std::string_view rest = walked;
    while (current.valid() && !rest.empty()) {
        const auto slash = rest.find('/');
        const std::string name(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (!name.empty() && name != ".") {
            current = openComponent(current.get(), name, create);
        }
    }
    struct stat info {};
    if (!current.valid() || ::fstat(current.get(), &info) != 0) {
        // A link put in place after the walk shows as one that may not be followed.
        return systemFailure(errno == ELOOP ? EACCES : errno, path);
    }
    return CheckedDirectory(std::move(current), info, walked);
}

Result<CheckedDirectory> CheckedDirectory::open(const std::string& path, bool create) {
    const Result<std::string> resolved = followLinks(path);
    if (!resolved) {
        return resolved.failure();
    }
    return walk(*resolved, create, path);
}

Result<std::pair<CheckedDirectory, std::string>> CheckedDirectory::openParentOf(
    const std::string& path) {
    Result<std::string> resolved = followLinks(path);
    if (!resolved) {
        return resolved.failure();
    }
    const std::string& walked = *resolved;
    // "name/" asks for a directory, which is never a file to write.
    if (walked.ends_with('/')) {
        struct stat info {};
        const int error = ::stat(walked.c_str(), &info) != 0 ? errno
                          : S_ISDIR(info.st_mode)            ? EISDIR
                                                             : ENOTDIR;
        return systemFailure(error, path);
    }
    const auto slash = walked.find_last_of('/');
    std::string name = slash == std::string::npos ? walked : walked.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return systemFailure(EISDIR, path);
    }
    const std::string parent =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : walked.substr(0, slash));
    Result<CheckedDirectory> directory = walk(parent, false, path);
    if (!directory) {
        return directory.failure();
    }
    return std::pair<CheckedDirectory, std::string>(std::move(*directory), std::move(name));
}

Result<FileHandle> CheckedDirectory::openForWriting(const std::string& name, int flags,
                                                    mode_t mode) const {
    FileHandle file(::openat(fd(), name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0) {
        return systemFailure(errno == ELOOP ? EACCES : errno, path_ + "/" + name);
    }
    if (const Result<void> allowed = mayWriteExisting(info_, info, path_ + "/" + name); !allowed) {
        return allowed.failure();
    }
    return file;
}

}  // namespace quen
