// G.711 through per-law tables of the magnitude codes, computed at compile time from
// the segment bounds. A sample costs a sign mask, a shift and one table read, with no
// branch on its value.
#include "audio/G711Encoder.h"

#include <algorithm>
#include <array>

#include "audio/CodecCodes.h"

namespace quen {
namespace {

// The first quantised magnitude of each segment and the step width as a shift.
struct Segments {
    std::array<int, 8> base;
    std::array<int, 8> shift;
};

constexpr Segments MU_LAW_SEGMENTS{{0, 31, 95, 223, 479, 991, 2015, 4063},
                                   {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr Segments A_LAW_SEGMENTS{{0, 32, 64, 128, 256, 512, 1024, 2048}, {1, 1, 2, 3, 4, 5, 6, 7}};

// Segment and step of every quantised magnitude 0 .. size-1, before the sign and the
// law's inversion.
template <std::size_t size>
constexpr std::array<std::uint8_t, size> magnitudeCodes(const Segments& segments) {
    std::array<std::uint8_t, size> codes{};
    for (int segment = 0; segment < 8; ++segment) {
        const int first = segments.base[segment];
        const int last = segment < 7 ? segments.base[segment + 1] : static_cast<int>(size);
        for (int v = first; v < last; ++v) {
            // Only mu-law's top segment reaches beyond step 15.
            const int step = std::min(15, (v - first) >> segments.shift[segment]);
            codes[v] = static_cast<std::uint8_t>(segment << 4 | step);
        }
    }
    return codes;
}

// Positive samples: mu-law complements all bits, the sign bit 0 becoming 1.
constexpr auto MU_LAW_POSITIVE = [] {
    auto codes = magnitudeCodes<8192>(MU_LAW_SEGMENTS);
    for (auto& code : codes) {
        code = static_cast<std::uint8_t>(~code);
    }
    return codes;
}();

// Positive samples: A-law sets the sign bit and inverts the even bits.
constexpr auto A_LAW_POSITIVE = [] {
    auto codes = magnitudeCodes<4096>(A_LAW_SEGMENTS);
    for (auto& code : codes) {
        code = static_cast<std::uint8_t>((0x80 | code) ^ 0x55);
    }
    return codes;
}();

// The magnitude, with -32768 taken as 32767, and a mask that clears the sign bit of
// the code of a negative sample (neither law's inversion touches that bit otherwise).
struct SignAndMagnitude {
    std::uint32_t magnitude;
    std::uint8_t codeMask;
};

inline SignAndMagnitude split(std::int16_t sample) {
    const std::int32_t value = sample;
    const std::int32_t negative = value >> 31;  // all ones or zero
    const auto magnitude =
        static_cast<std::uint32_t>(std::min((value ^ negative) - negative, 32767));
    return {magnitude, static_cast<std::uint8_t>(0xFF ^ (negative & 0x80))};
}

inline std::int16_t sampleAt(const std::uint8_t* bytes) {
    return static_cast<std::int16_t>(bytes[0] | bytes[1] << 8);
}

template <typename Encode>
void encodeSamples(std::span<const std::uint8_t> pcm, std::uint8_t* out, Encode encode) {
    const std::size_t count = pcm.size() / 2;
    const std::uint8_t* in = pcm.data();
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = encode(sampleAt(in + 2 * i));
    }
}

}  // namespace

std::uint8_t linearToMuLaw(std::int16_t sample) {
    const auto [magnitude, mask] = split(sample);
    return MU_LAW_POSITIVE[magnitude >> 2] & mask;
}

std::uint8_t linearToALaw(std::int16_t sample) {
    const auto [magnitude, mask] = split(sample);
    return A_LAW_POSITIVE[magnitude >> 3] & mask;
}

std::int32_t G711Encoder::encodeBuffer(std::span<const std::uint8_t> pcm,
                                       std::span<std::uint8_t> out, std::int32_t cpType) const {
    if (cpType == CP_TYPE_MULAW) {
        encodeSamples(pcm, out.data(), linearToMuLaw);
    } else {
        encodeSamples(pcm, out.data(), linearToALaw);
    }
    return static_cast<std::int32_t>(pcm.size() / 2);
}

}  // namespace quen
