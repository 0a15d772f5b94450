// Every file operation here is relative to a descriptor: the page's directory opened
// once the page's path was checked, and the folder opened without following a link.
// Renaming the folder or putting a link in its place meanwhile changes nothing the run
// writes to.
#include "quen/report/ReportFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/CheckedDirectory.h"
#include "platform/ProcessSetup.h"
#include "quen/OutputFile.h"

namespace quen::tool {
namespace {

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// A list is read only this far: a run's list of thousands of names stays far below.
constexpr std::size_t MAX_LIST_BYTES = 1 << 20;

std::string listHeading(const std::string& pageName) {
    return "audio of the page " + pageName + "\n";
}

// A name a run could have written: plain, in the folder itself, never the list.
bool plainName(const std::string& name) {
    return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool readFully(int fd, char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(fd, data, size);
        if (got <= 0) {
            return false;
        }
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// The whole of a regular file in `folder`, not through a link, up to `limit` bytes;
// none when it is not such a file.
std::optional<std::string> readSmallFile(int folder, const char* name, std::size_t limit) {
    const FileHandle file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > limit) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    if (!readFully(file.get(), text.data(), text.size())) {
        return std::nullopt;
    }
    return text;
}

// Open for reading, not through a link.
FileHandle openInFolder(int folder, const std::string& name) {
    return FileHandle(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

AudioFileWriter::AudioFileWriter(AudioFileWriter&& other) noexcept
    : folder_(other.folder_),
      name_(std::move(other.name_)),
      file_(std::move(other.file_)),
      registration_(std::exchange(other.registration_, -1)) {}

AudioFileWriter& AudioFileWriter::operator=(AudioFileWriter&& other) noexcept {
    if (this != &other) {
        discard();
        folder_ = other.folder_;
        name_ = std::move(other.name_);
        file_ = std::move(other.file_);
        registration_ = std::exchange(other.registration_, -1);
    }
    return *this;
}

AudioFileWriter::~AudioFileWriter() {
    discard();
}

void AudioFileWriter::discard() {
    if (registration_ < 0) {
        return;
    }
    // Removed here and, should a termination signal come first, by its removal: whichever
    // is second finds nothing.
    file_.close();
    ::unlinkat(folder_->folder_.get(), (name_ + ".part").c_str(), 0);
    forgetTemporaryFile(registration_);
    registration_ = -1;
}

std::string AudioFileWriter::append(ByteSpan bytes) {
    if (!writeAll(file_.get(), bytes.data(), bytes.size())) {
        return systemError("cannot write");
    }
    return {};
}

std::string AudioFileWriter::commit() {
    return folder_->commit(*this);
}

namespace {

// The page's directory, walked again under the link rules with no link followed: a
// directory on its path swapped for a link since the page's path was checked is not used.
FileHandle openPageDirectory(const std::string& path) {
    const Result<CheckedDirectory> directory = CheckedDirectory::open(path, false);
    if (!directory) {
        errno = EACCES;
        return FileHandle();
    }
    return FileHandle(::fcntl(directory->fd(), F_DUPFD_CLOEXEC, 0));
}

}  // namespace

AudioFolder::AudioFolder(const std::string& pageDirectory, std::string name, std::string shownPath,
                         std::set<FileKey> shown, bool replace)
    : name_(std::move(name)),
      shownPath_(std::move(shownPath)),
      shown_(std::move(shown)),
      directory_(openPageDirectory(pageDirectory)),
      directoryError_(directory_.valid() ? 0 : errno),
      replace_(replace) {}

std::string AudioFolder::open() {
    if (!directory_.valid()) {
        return shownPath_ + ": cannot make the audio folder: " + std::strerror(directoryError_);
    }
    if (::mkdirat(directory_.get(), name_.c_str(), 0777) == 0) {
        made_ = true;
    } else if (errno != EEXIST) {
        return shownPath_ + ": cannot make the audio folder: " + std::strerror(errno);
    }
    folder_ = FileHandle(
        ::openat(directory_.get(), name_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder_.valid()) {
        const bool inTheWay = errno == ELOOP || errno == ENOTDIR;
        return shownPath_ +
               (inTheWay ? ": is in the way of the audio folder (not a directory)"
                         : ": cannot open the audio folder: " + std::string(std::strerror(errno)));
    }
    struct stat info {};
    if (::fstat(folder_.get(), &info) != 0 || info.st_uid != ::geteuid()) {
        folder_.close();
        return shownPath_ + ": is another user's directory; the audio folder is not used";
    }
    // Told after what is in the way, which -y would not change.
    if (!made_ && !replace_) {
        folder_.close();
        return shownPath_ + ": " + EXISTS_ALREADY;
    }
    return {};
}

AudioFileWriter AudioFolder::create(const std::string& name, std::string& error) const {
    AudioFileWriter writer;
    writer.folder_ = this;
    writer.name_ = name;
    const std::string part = name + ".part";
    // The folder's own descriptor in the name, so that a termination signal removes the
    // file where it is, whatever was renamed or linked in the folder's place.
    const std::string registered = "/proc/self/fd/" + std::to_string(folder_.get()) + "/" + part;
    const TemporaryFileCreation creation;
    if (!creation.allowed()) {
        error = shownPath_ + "/" + part + ": not written: the program is ending";
        return writer;
    }
    writer.registration_ = addTemporaryFileToRemove(registered);
    if (writer.registration_ < 0) {
        error = shownPath_ + "/" + part + ": not written: too many files at once";
        return writer;
    }
    // A file of that name is what a run ended by SIGKILL left behind.
    ::unlinkat(folder_.get(), part.c_str(), 0);
    writer.file_ = FileHandle(::openat(folder_.get(), part.c_str(),
                                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!writer.file_.valid()) {
        error = shownPath_ + "/" + part + ": " + systemError("cannot write");
        forgetTemporaryFile(writer.registration_);
        writer.registration_ = -1;
    }
    return writer;
}

std::string AudioFolder::commit(AudioFileWriter& writer) const {
    const std::string path = shownPath_ + "/" + writer.name_;
    const std::string part = writer.name_ + ".part";
    struct stat existing {};
    if (::fstatat(folder_.get(), writer.name_.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        shown_.contains(FileKey{existing.st_dev, existing.st_ino})) {
        writer.discard();
        return path + ": is a file the page shows; not written over";
    }
    // The rename and the end of the registration are one step for a termination signal's
    // removal: it finds the file under its temporary name or in place.
    const TemporaryFileCreation renaming;
    if (!renaming.allowed()) {
        writer.discard();
        return path + ": not written, the program is ending";
    }
    if (!writer.file_.close() ||
        ::renameat(folder_.get(), part.c_str(), folder_.get(), writer.name_.c_str()) != 0) {
        const std::string error = path + ": " + systemError("cannot write");
        writer.discard();
        return error;
    }
    forgetTemporaryFile(writer.registration_);
    writer.registration_ = -1;
    return {};
}

void AudioFolder::remove(const std::string& name) const {
    ::unlinkat(folder_.get(), name.c_str(), 0);
}

bool AudioFolder::sameBytes(const std::string& a, const std::string& b) const {
    const FileHandle first = openInFolder(folder_.get(), a);
    const FileHandle second = openInFolder(folder_.get(), b);
    struct stat one {};
    struct stat two {};
    if (!first.valid() || !second.valid() || ::fstat(first.get(), &one) != 0 ||
        ::fstat(second.get(), &two) != 0 || one.st_size != two.st_size) {
        return false;
    }
    std::vector<char> left(1 << 16);
    std::vector<char> right(left.size());
    for (;;) {
        const ssize_t got = ::read(first.get(), left.data(), left.size());
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        const auto size = static_cast<std::size_t>(got);
        if (!readFully(second.get(), right.data(), size) ||
            std::memcmp(left.data(), right.data(), size) != 0) {
            return false;
        }
    }
}

std::string AudioFolder::writeList(const std::string& pageName,
                                   const std::vector<std::string>& names) const {
    std::string text = listHeading(pageName);
    for (const std::string& name : names) {
        text += name + "\n";
    }
    std::string error;
    AudioFileWriter list = create(AUDIO_LIST, error);
    if (error.empty()) {
        error =
            list.append(ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
    return error.empty() ? list.commit() : error;
}

void AudioFolder::removeEarlierRun(const std::string& pageName,
                                   const std::set<std::string>& keep) const {
    if (!directory_.valid()) {
        return;
    }
    const FileHandle folder(
        ::openat(directory_.get(), name_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!folder.valid() || ::fstat(folder.get(), &info) != 0 || info.st_uid != ::geteuid()) {
        return;
    }
    const auto list = readSmallFile(folder.get(), AUDIO_LIST, MAX_LIST_BYTES);
    const std::string heading = listHeading(pageName);
    if (!list || !list->starts_with(heading)) {
        return;
    }
    for (std::size_t at = heading.size(); at < list->size();) {
        const std::size_t end = std::min(list->find('\n', at), list->size());
        const std::string name = list->substr(at, end - at);
        at = end + 1;
        struct stat file {};
        if (plainName(name) && !keep.contains(name) &&
            ::fstatat(folder.get(), name.c_str(), &file, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(file.st_mode) && !shown_.contains(FileKey{file.st_dev, file.st_ino})) {
            ::unlinkat(folder.get(), name.c_str(), 0);
        }
    }
    if (keep.empty()) {
        ::unlinkat(folder.get(), AUDIO_LIST, 0);
        // Refused while anything else is in it.
        ::unlinkat(directory_.get(), name_.c_str(), AT_REMOVEDIR);
    }
}

void AudioFolder::removeIfMade() const {
    if (made_ && directory_.valid()) {
        ::unlinkat(directory_.get(), name_.c_str(), AT_REMOVEDIR);
    }
}

}  // namespace quen::tool
