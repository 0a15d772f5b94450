// What `quen inspect` says about one data file, built once as JSON and rendered as
// text from the same values, so the two outputs cannot disagree.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datafile/DataFileReader.h"
#include "quen/DecodedAudio.h"
#include "quen/SoundMeasures.h"

namespace quen::tool {

// A file whose preamble could not be read: only the file and the reason.
nlohmann::json unreadableReport(const std::string& file, const std::string& error);

// `audio` is absent when decoding failed; `audioError` then says why.
nlohmann::json inspectReport(const std::string& file, const DataFileContents& contents,
                             const DecodedAudio* audio, const SoundMeasures* sound,
                             const std::string& audioError);

// One data file read, decoded and measured as `quen inspect` does it, for every
// command that shows data files.
struct InspectedFile {
    std::vector<std::uint8_t> bytes;  // what `contents` points into
    std::optional<DataFileContents> contents;
    std::optional<DecodedAudio> audio;  // when the file was read and decoded
    nlohmann::json report;
};
InspectedFile inspectDataFile(const std::string& path);

// Human-readable lines of one report, for standard output.
std::string reportText(const nlohmann::json& report);

}  // namespace quen::tool
