// The format of a stream of samples, as a WAV file's format chunk states it, and the
// WAV facts that go with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/ByteOrder.h"

namespace quen {

struct WaveFormat {
    std::uint16_t tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

// Every chunk of a RIFF file begins with a four-byte id and a 32-bit length.
constexpr std::size_t CHUNK_HEADER_BYTES = 8;
// The fields below, as they follow each other in a format chunk.
constexpr std::size_t FORMAT_FIELD_BYTES = 16;

constexpr std::uint16_t FORMAT_TAG_PCM = 1;
// The one rate the system records, plays and converts.
constexpr std::uint32_t SPEECH_SAMPLE_RATE = 8000;
// Its samples are 16-bit and mono: two bytes each.
constexpr std::size_t SPEECH_SAMPLE_BYTES = 2;

// The six fields from the first FORMAT_FIELD_BYTES of `bytes`, little-endian.
constexpr WaveFormat readFormatFields(std::span<const std::uint8_t> bytes) {
    return {getLittleEndian16(bytes),
            getLittleEndian16(bytes.subspan(2)),
            getLittleEndian32(bytes.subspan(4)),
            getLittleEndian32(bytes.subspan(8)),
            getLittleEndian16(bytes.subspan(12)),
            getLittleEndian16(bytes.subspan(14))};
}

}  // namespace quen
