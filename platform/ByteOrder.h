// Integers in the byte order of a file, at any alignment: little-endian for WAV files
// and their samples, big-endian for data files and their UTF-16 texts. The one place
// these are spelled out. Header only, so the codec module can use it without linking
// the program's libraries.
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

// b0*2^8 + b1 from the first two bytes.
constexpr std::uint16_t getBigEndian16(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

// b0*2^24 + b1*2^16 + b2*2^8 + b3 from the first four bytes.
constexpr std::uint32_t getBigEndian32(std::span<const std::uint8_t> bytes) {
    return std::uint32_t{getBigEndian16(bytes)} << 16 | getBigEndian16(bytes.subspan(2));
}

// Least significant byte first, into the first two bytes of `out`.
constexpr void setLittleEndian16(std::span<std::uint8_t> out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
}

// Most significant byte first, into the first two bytes of `out`.
constexpr void setBigEndian16(std::span<std::uint8_t> out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 8);
    out[1] = static_cast<std::uint8_t>(value);
}

// Most significant byte first, into the first four bytes of `out`.
constexpr void setBigEndian32(std::span<std::uint8_t> out, std::uint32_t value) {
    setBigEndian16(out, static_cast<std::uint16_t>(value >> 16));
    setBigEndian16(out.subspan(2), static_cast<std::uint16_t>(value));
}

inline void appendLittleEndian16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.resize(out.size() + 2);
    setLittleEndian16(std::span(out).last(2), value);
}

inline void appendLittleEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    appendLittleEndian16(out, static_cast<std::uint16_t>(value));
    appendLittleEndian16(out, static_cast<std::uint16_t>(value >> 16));
}

inline void appendBigEndian16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.resize(out.size() + 2);
    setBigEndian16(std::span(out).last(2), value);
}

}  // namespace quen
