// Finds the samples of a WAV recording in memory: the format checks in their fixed
// order, each with its own log message, and the walk from the format chunk to the
// data chunk.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace quen {

// Reads b0 + b1*2^8 + b2*2^16 + b3*2^24 from four bytes at any alignment.
std::uint32_t getLittleEndian32(std::span<const std::uint8_t, 4> bytes);
std::uint16_t getLittleEndian16(std::span<const std::uint8_t, 2> bytes);

// The located sample bytes; they stay in the caller's file buffer.
struct WaveData {
    std::span<const std::uint8_t> samples;
};

// `body` holds the bytes after the form type "WAVE" up to the end of the file buffer;
// `bodyLength` is the RIFF size minus 4, the part the chunk walk may look at. The
// data length is the data chunk's stated one, cut to the bytes `body` holds. On
// rejection the reason is already in the error log.
std::optional<WaveData> locateWaveData(std::span<const std::uint8_t> body,
                                       std::uint32_t bodyLength);

}  // namespace quen
