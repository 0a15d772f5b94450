// The compression manager's format record as bytes: seven little-endian fields without
// padding (18 bytes), then as many format-specific bytes as the last field states.
// Callers describe a stream's two ends with such records, as they would to the manager.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quen {

struct WaveFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlignment = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;  // format-specific bytes after the 18 fixed ones
};

inline constexpr std::size_t WAVE_FORMAT_BYTES = 18;

// The record image: the fields as given (extraSize included, even when it does not
// match), then `extra`.
std::vector<std::uint8_t> formatRecord(const WaveFormat& format,
                                       std::span<const std::uint8_t> extra = {});

// The fixed fields of a record; nullopt when the record is shorter than 18 bytes or
// its length is not 18 plus the extra size it states.
std::optional<WaveFormat> readFormatRecord(std::span<const std::uint8_t> record);

}  // namespace quen
