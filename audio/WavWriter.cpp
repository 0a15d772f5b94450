// RIFF header fields in the order a reader checks them, then the samples.
#include "audio/WavWriter.h"

#include <limits>
#include <string_view>

namespace quen {
namespace {

constexpr std::uint32_t SAMPLE_RATE = 8000;
constexpr std::uint16_t BITS_PER_SAMPLE = 16;
constexpr std::uint16_t CHANNELS = 1;
constexpr std::uint16_t BLOCK_ALIGN = CHANNELS * BITS_PER_SAMPLE / 8;

void put(std::vector<std::uint8_t>& out, std::string_view id) {
    out.insert(out.end(), id.begin(), id.end());
}
void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace

std::vector<std::uint8_t> wavImage(std::span<const std::int16_t> samples) {
    constexpr std::uint64_t limit = std::numeric_limits<std::uint32_t>::max() - 36;
    const std::uint64_t dataBytes = std::uint64_t{samples.size()} * BLOCK_ALIGN;
    if (dataBytes > limit) {
        return {};
    }
    std::vector<std::uint8_t> out;
    out.reserve(WAV_HEADER_BYTES + dataBytes);
    put(out, "RIFF");
    put32(out, static_cast<std::uint32_t>(36 + dataBytes));
    put(out, "WAVE");
    put(out, "fmt ");
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, CHANNELS);
    put32(out, SAMPLE_RATE);
    put32(out, SAMPLE_RATE * BLOCK_ALIGN);
    put16(out, BLOCK_ALIGN);
    put16(out, BITS_PER_SAMPLE);
    put(out, "data");
    put32(out, static_cast<std::uint32_t>(dataBytes));
    for (const std::int16_t sample : samples) {
        put16(out, static_cast<std::uint16_t>(sample));
    }
    return out;
}

}  // namespace quen
