// What `quen inspect` says about one data file: read, checked and measured once into an
// InspectReport, then written as JSON or as text from the same values, so the two
// outputs cannot disagree.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datafile/DataFileReader.h"
#include "quen/DecodedAudio.h"
#include "quen/SoundFindings.h"
#include "quen/SoundMeasures.h"

namespace quen::tool {

struct InspectReport {
    std::string file;
    // Why not even the preamble could be read; nothing below is known then.
    std::optional<std::string> error;
    // The preamble, the header and the packet check. Without payloads: they point into
    // the file's bytes, which the report outlives.
    DataFileContents contents;
    // The decoded audio's measures; without them, why it could not be decoded.
    std::optional<SoundMeasures> sound;
    std::size_t undecodableFrames = 0;
    std::string audioError;
    // What is wrong with the decoded sound, each with the commands that make the file
    // again.
    std::vector<Finding> findings;

    // The playing time of the packet stream.
    double durationSeconds() const;
};

// One data file read, decoded and measured as `quen inspect` does it, for every
// command that shows data files.
struct InspectedFile {
    std::optional<DecodedAudio> audio;  // when the file was read and decoded
    InspectReport report;
};
InspectedFile inspectDataFile(const std::string& path);

// The report as `quen inspect --json` writes it.
nlohmann::json reportJson(const InspectReport& report);

// Human-readable lines of one report, for standard output.
std::string reportText(const InspectReport& report);

}  // namespace quen::tool
