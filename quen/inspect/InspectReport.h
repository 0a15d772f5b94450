// What `quen inspect` says about one data file: read, checked and measured once into an
// InspectReport, then written as JSON or as text from the same values, so the two
// outputs cannot disagree.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "datafile/DataFileReader.h"
#include "quen/DecodedAudio.h"
#include "quen/SoundFindings.h"
#include "quen/SoundMeasures.h"

namespace quen::tool {

// The total length is a 32-bit field, so no data file is larger.
inline constexpr std::uint64_t MAX_DATA_FILE_BYTES = std::numeric_limits<std::uint32_t>::max();

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
    // The file could not be got at (report.error says why), as opposed to being invalid.
    bool unreadable = false;
};
// What a command does with a file's decoded audio (write it, draw it) while its
// measures are read on other cores; given the header and packet check too.
using WhileMeasuring = std::function<void(const DecodedAudio&, const DataFileContents&)>;

// What decoding and measuring a data file's audio gave, for another file that carries
// the same audio.
struct KnownSound {
    std::optional<SoundMeasures> sound;
    std::size_t undecodableFrames = 0;
    std::string audioError;
};
// The sound of a file whose header and packets were read, where the caller already has
// it from a file of the same codec and packets; empty to decode and measure this one.
using KnownSoundOf = std::function<std::optional<KnownSound>(const DataFileContents&)>;

// `name` is the file as reports show it, `path` where it is read (they differ for
// standard input). `whileMeasuring` is called once the audio is decoded, if it is;
// a sound `known` gives is neither decoded nor measured again, and has no audio.
InspectedFile inspectDataFile(const std::string& path, const std::string& name,
                              const WhileMeasuring& whileMeasuring = {},
                              const KnownSoundOf& known = {});

// The report as `quen inspect --json` writes it.
nlohmann::json reportJson(const InspectReport& report);

// Human-readable lines of one report, for standard output.
std::string reportText(const InspectReport& report);

}  // namespace quen::tool
