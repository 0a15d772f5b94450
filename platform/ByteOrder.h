// Integers in the byte order of a file, at any alignment: little-endian for WAV files
// and format records, big-endian for data files. The one place these are spelled out.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quen {

// b0 + b1*2^8 from the first two bytes.
constexpr std::uint16_t getLittleEndian16(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

// b0 + b1*2^8 + b2*2^16 + b3*2^24 from the first four bytes.
constexpr std::uint32_t getLittleEndian32(std::span<const std::uint8_t> bytes) {
    return getLittleEndian16(bytes) | std::uint32_t{getLittleEndian16(bytes.subspan(2))} << 16;
}

// b0*2^24 + b1*2^16 + b2*2^8 + b3 from the first four bytes.
constexpr std::uint32_t getBigEndian32(std::span<const std::uint8_t> bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | std::uint32_t{bytes[3]};
}

inline void appendLittleEndian16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void appendLittleEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    appendLittleEndian16(out, static_cast<std::uint16_t>(value));
    appendLittleEndian16(out, static_cast<std::uint16_t>(value >> 16));
}

// Most significant byte first, into the first four bytes of `out`.
constexpr void setBigEndian32(std::span<std::uint8_t> out, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

}  // namespace quen
