// The kernel's three rules for sticky world-writable directories such as /tmp and for
// hard links, applied by the program itself to every path it reads or writes, whatever
// the system's own settings: otherwise another user's link could aim a read or a write
// at a file of that user's choosing, or that user's file could stand in for ours.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/Result.h"

namespace quen {

// `path` with every symbolic link on it resolved, the last component included, as far
// as the path exists: the rest is kept as given, for the open that follows to find
// missing. A link in a sticky world-writable directory is followed only when it
// belongs to this process's user or to the directory's owner; otherwise access is
// denied. More than 40 links is a loop, as for the kernel. The answer holds no link,
// so an open of it with O_NOFOLLOW fails if one is put in place meanwhile.
Result<std::string> followLinks(const std::string& path);

// Whether a sticky world-writable directory (`directory`) protects its entries from
// other users.
bool isStickyForOthers(const struct stat& directory);

// Whether an existing file (`file`, in `directory`) may be written or replaced: not
// another user's file in a sticky world-writable directory unless that user owns the
// directory, and not another user's file with more than one hard link anywhere (the
// other names could be anywhere). Access is denied otherwise, naming `path`.
Result<void> mayWriteExisting(const struct stat& directory, const struct stat& file,
                              const std::string& path);

}  // namespace quen
