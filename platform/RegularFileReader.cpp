// openRegular, then reads up to the size seen at the open.
#include "platform/RegularFileReader.h"

#include <new>

#include "platform/InputFile.h"

namespace quen {

Result<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::uint64_t maxBytes) {
    auto file = InputFile::openRegular(path);
    if (!file) {
        return file.failure();
    }
    const std::uint64_t size = file->size();
    if (size > maxBytes) {
        return Failure{FailureCategory::Generic, std::to_string(size) + " bytes",
                       FailureReason::TooLarge};
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return Failure{FailureCategory::Generic, std::to_string(size) + " bytes",
                       FailureReason::OutOfMemory};
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto got = file->readUpTo(done, std::span(bytes).subspan(done));
        if (!got) {
            return *file->failure();
        }
        if (*got == 0) {
            break;
        }
        done += *got;
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace quen
