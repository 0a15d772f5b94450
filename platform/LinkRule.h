// The kernel's rule for symbolic links in sticky world-writable directories such as
// /tmp, applied by the program itself to every link on the path of a file it writes,
// whatever the system's own setting: otherwise another user's link could aim a write
// at a file of that user's choosing.
#pragma once

#include <string>

#include "platform/Result.h"

namespace quen {

// `path` with every symbolic link on it resolved, the last component included, as far
// as the path exists: the rest is kept as given, for the open that follows to find
// missing. A link in a sticky world-writable directory is followed only when it
// belongs to this process's user or to the directory's owner; otherwise access is
// denied. More than 40 links is a loop, as for the kernel. The answer holds no link,
// so an open of it with O_NOFOLLOW fails if one is put in place meanwhile.
Result<std::string> followLinksForWriting(const std::string& path);

}  // namespace quen
