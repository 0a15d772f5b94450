// The compression manager's format record as bytes: the format's six little-endian
// fields, the count of format-specific bytes (18 bytes so far, without padding), then
// those bytes. Callers describe a stream's two ends with such records, as they would to
// the manager.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "wav/WaveFormat.h"

namespace quen {

inline constexpr std::size_t WAVE_FORMAT_BYTES = FORMAT_FIELD_BYTES + 2;

// The record image: the fields, the size of `extra`, then `extra`.
std::vector<std::uint8_t> formatRecord(const WaveFormat& format,
                                       std::span<const std::uint8_t> extra = {});

// The fields of a record; nullopt when the record is shorter than 18 bytes or its
// length is not 18 plus the extra size it states.
std::optional<WaveFormat> readFormatRecord(std::span<const std::uint8_t> record);

}  // namespace quen
