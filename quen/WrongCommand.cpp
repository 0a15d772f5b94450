// Only the preamble is read: a data file is known by it, and a large recording costs one
// small read here.
#include "quen/WrongCommand.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "datafile/DataFileLayout.h"
#include "datafile/DataFileReader.h"
#include "platform/InputFile.h"

namespace quen::tool {

bool looksLikeWav(std::span<const std::uint8_t> start) {
    const auto at = [&start](std::size_t offset, const char* text) {
        return start.size() >= offset + 4 && std::equal(text, text + 4, start.begin() + offset);
    };
    return (at(0, "RIFF") || at(0, "RIFX") || at(0, "RF64")) && at(8, "WAVE");
}

std::optional<std::string> checkRefusesOutright(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::string("cannot open: ") + std::strerror(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    InputFile input(path);
    if (input.kind() != FileKind::Regular || input.failure() || input.size() < PREAMBLE_BYTES) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> preamble(PREAMBLE_BYTES);
    if (!input.readAt(0, preamble) || looksLikeWav(preamble) || !readDataFile(preamble)) {
        return std::nullopt;
    }
    return std::string("a QuenGreeting data file, not a recording: use quen inspect");
}

}  // namespace quen::tool
