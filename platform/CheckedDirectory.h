// A directory opened by descriptor after its path was walked under the link rules
// (LinkRule.h), so that files are made, opened and renamed relative to it, and a link
// put on its path afterwards changes nothing.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <utility>

#include "platform/FileHandle.h"
#include "platform/Result.h"

namespace quen {

class CheckedDirectory {
  public:
    // The directory `path` names, its links followed only as followLinks allows. With
    // `create`, each missing directory on the way is made (0777 less the umask) in its
    // parent's descriptor; no component is then opened through a link.
    static Result<CheckedDirectory> open(const std::string& path, bool create);

    // The directory of `path` and the last component, which is never "", "." or "..".
    static Result<std::pair<CheckedDirectory, std::string>> openParentOf(const std::string& path);

    // O_PATH descriptor, for the *at calls.
    int fd() const { return handle_.get(); }
    const struct stat& info() const { return info_; }
    // The directory as walked: no link on it, for messages and signal-time removal.
    const std::string& path() const { return path_; }

    // `name` in this directory opened with `flags` (O_NOFOLLOW always added) and, for an
    // existing file, mayWriteExisting; a refused file is closed again untouched.
    Result<FileHandle> openForWriting(const std::string& name, int flags, mode_t mode) const;

  private:
    static Result<CheckedDirectory> walk(const std::string& walked, bool create,
                                         const std::string& path);
    CheckedDirectory(FileHandle handle, const struct stat& info, std::string path)
        : handle_(std::move(handle)), info_(info), path_(std::move(path)) {}

    FileHandle handle_;
    struct stat info_ {};
    std::string path_;
};

}  // namespace quen
