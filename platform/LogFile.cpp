// Exclusive, truncating open of the error log.
#include "platform/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/LinkRule.h"

namespace quen {

FileHandle openLogFile(const std::string& path) {
    const auto resolved = followLinksForWriting(path);
    if (!resolved) {
        return FileHandle();
    }
    FileHandle file(::open(resolved->c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file.valid()) {
        return file;
    }
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0 || ::ftruncate(file.get(), 0) != 0) {
        return FileHandle();
    }
    return file;
}

}  // namespace quen
