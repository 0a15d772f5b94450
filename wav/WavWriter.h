// The image of a plain WAV file: canonical 44-byte header, 8000 samples/s, 16-bit
// little-endian PCM, one channel. Writing it to disk is the caller's job.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quen {

constexpr std::size_t WAV_HEADER_BYTES = 44;

// The header for `sampleCount` samples; empty when they would not fit the 32-bit RIFF
// length. The samples follow it as 16-bit little-endian values.
std::vector<std::uint8_t> wavHeader(std::size_t sampleCount);

// Header and samples in one buffer; empty when the samples would not fit.
std::vector<std::uint8_t> wavImage(std::span<const std::int16_t> samples);

}  // namespace quen
