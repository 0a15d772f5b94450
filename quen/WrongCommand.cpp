// Only the preamble is read: a data file is known by it, and a large recording costs one
// small read here.
#include "quen/WrongCommand.h"

#include <algorithm>
#include <vector>

#include "datafile/DataFileLayout.h"
#include "datafile/DataFileReader.h"
#include "platform/DirectoryQuery.h"
#include "platform/InputFile.h"

namespace quen::tool {

bool looksLikeWav(std::span<const std::uint8_t> start) {
    const auto at = [&start](std::size_t offset, const char* text) {
        return start.size() >= offset + 4 && std::equal(text, text + 4, start.begin() + offset);
    };
    return (at(0, "RIFF") || at(0, "RIFX") || at(0, "RF64")) && at(8, "WAVE");
}

std::optional<std::string> checkRefusesOutright(const std::string& path) {
    auto opened = InputFile::openRegular(path);
    if (!opened) {
        // A path that cannot even be looked up is refused here; anything else is the
        // check's to explain.
        if (opened.failure().reason == FailureReason::CannotOpen &&
            entryKind(path) == EntryKind::Missing) {
            return "cannot open: " + opened.failure().text;
        }
        return std::nullopt;
    }
    InputFile& input = *opened;
    if (input.size() < PREAMBLE_BYTES) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> preamble(PREAMBLE_BYTES);
    if (!input.readAt(0, preamble) || looksLikeWav(preamble) || !readDataFile(preamble)) {
        return std::nullopt;
    }
    return std::string(DATA_FILE_GIVEN_TO_CHECK);
}

}  // namespace quen::tool
