// Exclusive, truncating open of the error log, in its directory checked under the link
// rules.
#include "platform/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/CheckedDirectory.h"

namespace quen {

FileHandle openLogFile(const std::string& path) {
    const auto parent = CheckedDirectory::openParentOf(path);
    if (!parent) {
        return FileHandle();
    }
    const auto& [directory, name] = *parent;
    auto file = directory.openForWriting(name, O_RDWR | O_CREAT, 0666);
    if (!file) {
        return FileHandle();
    }
    if (::flock(file->get(), LOCK_EX | LOCK_NB) != 0 || ::ftruncate(file->get(), 0) != 0) {
        return FileHandle();
    }
    return std::move(*file);
}

}  // namespace quen
