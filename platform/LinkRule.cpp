// The path walk behind followLinks: one component at a time, links read and their
// targets walked in their place; and the test of an existing file about to be written.
#include "platform/LinkRule.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <deque>
#include <string_view>

namespace quen {
namespace {

constexpr int MAX_LINKS = 40;  // the kernel's own limit for one path lookup

// The names between slashes, without empty ones and ".", which change nothing.
std::deque<std::string> componentsOf(std::string_view path) {
    std::deque<std::string> components;
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        if (!name.empty() && name != ".") {
            components.emplace_back(name);
        }
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return components;
}

std::string joined(const std::string& directory, const std::string& name) {
    std::string path = directory;
    if (!path.empty() && !path.ends_with('/')) {
        path += '/';
    }
    path += name;
    return path;
}

// A link in a sticky world-writable directory is followed only when it belongs to the
// follower or to the directory's owner.
bool mayFollow(const std::string& directory, const struct stat& link) {
    struct stat info {};
    if (::stat(directory.empty() ? "." : directory.c_str(), &info) != 0) {
        return false;
    }
    return !isStickyForOthers(info) || link.st_uid == ::geteuid() || link.st_uid == info.st_uid;
}

Failure failureOf(int error, const std::string& path, const char* text) {
    return Failure{categoryOfErrno(error, path), text};
}

}  // namespace

bool isStickyForOthers(const struct stat& directory) {
    return S_ISDIR(directory.st_mode) && (directory.st_mode & S_ISVTX) != 0 &&
           (directory.st_mode & S_IWOTH) != 0;
}

Result<void> mayWriteExisting(const struct stat& directory, const struct stat& file,
                              const std::string& path) {
    // Directories are never written as files; the caller refuses them on its own.
    if (S_ISDIR(file.st_mode) || file.st_uid == ::geteuid()) {
        return {};
    }
    if (isStickyForOthers(directory) && file.st_uid != directory.st_uid) {
        return failureOf(EACCES, path, "another user's file in a sticky world-writable directory");
    }
    if (file.st_nlink > 1) {
        return failureOf(EACCES, path, "another user's file with more than one hard link");
    }
    return {};
}

Result<std::string> followLinks(const std::string& path) {
    if (path.empty()) {
        return failureOf(ENOENT, path, "the path is empty");
    }
    // `done` never holds a link: each of its components was looked at and, if a link,
    // replaced by its target.
    std::string done = path.starts_with('/') ? "/" : "";
    std::deque<std::string> rest = componentsOf(path);
    int links = 0;
    while (!rest.empty()) {
        const std::string candidate = joined(done, rest.front());
        rest.pop_front();
        struct stat info {};
        if (::lstat(candidate.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            done = candidate;
            continue;
        }
        if (++links > MAX_LINKS) {
            return failureOf(ELOOP, path, "too many symbolic links");
        }
        if (!mayFollow(done, info)) {
            return failureOf(EACCES, path,
                             "another user's symbolic link in a sticky world-writable directory");
        }
        // Not sized by lstat: links under /proc claim 0 or 64 bytes whatever they hold.
        // No target the system makes fills PATH_MAX.
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(candidate.c_str(), target.data(), target.size());
        if (length < 0 || length == PATH_MAX) {
            return failureOf(length < 0 ? errno : ENAMETOOLONG, path,
                             "a symbolic link cannot be read");
        }
        target.resize(static_cast<std::size_t>(length));
        std::deque<std::string> targetComponents = componentsOf(target);
        rest.insert(rest.begin(), targetComponents.begin(), targetComponents.end());
        if (target.starts_with('/')) {
            done.assign(1, '/');
        }
    }
    if (done.empty()) {
        done.push_back('.');
    }
    // "name/" asks for a directory; the open that follows still must.
    if (path.ends_with('/') && !done.ends_with('/')) {
        done += '/';
    }
    return done;
}

}  // namespace quen
