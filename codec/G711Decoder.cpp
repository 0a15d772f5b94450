// Both expansion tables are computed at compile time from the segment layout; a code
// costs one table read.
#include "codec/G711Decoder.h"

#include <array>

#include "codec/CodecCodes.h"

namespace quen {
namespace {

constexpr std::int16_t expandALaw(std::uint8_t code) {
    const int bits = code ^ 0x55;  // even bits are sent inverted
    const int segment = (bits >> 4) & 0x07;
    int magnitude = (bits & 0x0F) << 4;
    magnitude += segment == 0 ? 8 : 0x108;
    if (segment > 1) {
        magnitude <<= segment - 1;
    }
    return static_cast<std::int16_t>((bits & 0x80) != 0 ? magnitude : -magnitude);
}

constexpr std::int16_t expandMuLaw(std::uint8_t code) {
    const int bits = ~code & 0xFF;  // all bits are sent inverted
    constexpr int BIAS = 0x84;
    const int magnitude = (((bits & 0x0F) << 3) + BIAS) << ((bits >> 4) & 0x07);
    return static_cast<std::int16_t>((bits & 0x80) != 0 ? BIAS - magnitude : magnitude - BIAS);
}

template <std::int16_t (*expand)(std::uint8_t)>
constexpr std::array<std::int16_t, 256> expansionTable() {
    std::array<std::int16_t, 256> table{};
    for (int code = 0; code < 256; ++code) {
        table[code] = expand(static_cast<std::uint8_t>(code));
    }
    return table;
}

constexpr auto A_LAW_SAMPLES = expansionTable<expandALaw>();
constexpr auto MU_LAW_SAMPLES = expansionTable<expandMuLaw>();

}  // namespace

std::int16_t aLawToLinear(std::uint8_t code) {
    return A_LAW_SAMPLES[code];
}

std::int16_t muLawToLinear(std::uint8_t code) {
    return MU_LAW_SAMPLES[code];
}

void decodeG711(std::span<const std::uint8_t> codes, std::int32_t cpType,
                std::vector<std::int16_t>& samples) {
    const auto& table = cpType == CP_TYPE_MULAW ? MU_LAW_SAMPLES : A_LAW_SAMPLES;
    samples.reserve(samples.size() + codes.size());
    for (const std::uint8_t code : codes) {
        samples.push_back(table[code]);
    }
}

}  // namespace quen
