// The steps the greeting and the message conversion share, in the order both run
// them: announce the data file, read and check the recording, compress and packetise.
// Each step writes its own failure to the error log; the job then just returns false.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quen {

// The "Creating data file - " line, written before anything can fail.
void logCreatingDataFile(const std::u16string& outFile);

// A WAV file read whole whose RIFF header passed the checks.
struct Recording {
    std::vector<std::uint8_t> fileBuffer;
    std::uint32_t bodyLength = 0;  // the RIFF size minus 4

    // The bytes after the form type "WAVE", to the end of the file.
    std::span<const std::uint8_t> body() const;
};

// Reads `wavFile` (read-only, then closed) and checks "RIFF", "WAVE" and the RIFF
// size.
std::optional<Recording> readRecording(const std::u16string& wavFile);

// Compresses the recording with `cpType` and cuts the stream into packets.
std::optional<std::vector<std::uint8_t>> encodePackets(const Recording& recording,
                                                       const std::u16string& wavFile,
                                                       std::int32_t cpType);

}  // namespace quen
