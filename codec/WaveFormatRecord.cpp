// Writing and reading format records byte by byte, so that the layout does not depend
// on the compiler's structure padding or the host's byte order.
#include "codec/WaveFormatRecord.h"

namespace quen {
namespace {

void put16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    put16(bytes, static_cast<std::uint16_t>(value));
    put16(bytes, static_cast<std::uint16_t>(value >> 16));
}

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t get32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return get16(bytes, offset) | static_cast<std::uint32_t>(get16(bytes, offset + 2)) << 16;
}

}  // namespace

std::vector<std::uint8_t> formatRecord(const WaveFormat& format,
                                       std::span<const std::uint8_t> extra) {
    std::vector<std::uint8_t> record;
    record.reserve(WAVE_FORMAT_BYTES + extra.size());
    put16(record, format.formatTag);
    put16(record, format.channels);
    put32(record, format.samplesPerSecond);
    put32(record, format.averageBytesPerSecond);
    put16(record, format.blockAlignment);
    put16(record, format.bitsPerSample);
    put16(record, format.extraSize);
    record.insert(record.end(), extra.begin(), extra.end());
    return record;
}

std::optional<WaveFormat> readFormatRecord(std::span<const std::uint8_t> record) {
    if (record.size() < WAVE_FORMAT_BYTES) {
        return std::nullopt;
    }
    WaveFormat format;
    format.formatTag = get16(record, 0);
    format.channels = get16(record, 2);
    format.samplesPerSecond = get32(record, 4);
    format.averageBytesPerSecond = get32(record, 8);
    format.blockAlignment = get16(record, 12);
    format.bitsPerSample = get16(record, 14);
    format.extraSize = get16(record, 16);
    if (record.size() != WAVE_FORMAT_BYTES + format.extraSize) {
        return std::nullopt;
    }
    return format;
}

}  // namespace quen
