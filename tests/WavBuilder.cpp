// WAV images for tests: little-endian chunk headers around the given contents.
#include "tests/WavBuilder.h"

#include <cmath>

namespace quen::test {

Bytes sampleBytes(const std::vector<std::int16_t>& samples) {
    Bytes bytes;
    for (const std::int16_t sample : samples) {
        bytes.push_back(static_cast<std::uint8_t>(sample));
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8));
    }
    return bytes;
}

Bytes chunk(const std::string& id, const Bytes& contents,
            std::optional<std::uint32_t> statedLength) {
    const auto length = statedLength.value_or(static_cast<std::uint32_t>(contents.size()));
    // A 32-bit little-endian value is its two 16-bit halves, low half first.
    const Bytes lengthBytes =
        sampleBytes({static_cast<std::int16_t>(length), static_cast<std::int16_t>(length >> 16)});
    return join({Bytes(id.begin(), id.end()), lengthBytes, contents});
}

Bytes formatChunk(std::size_t extension) {
    // Tag 1, one channel, 8000 samples/s, 16000 bytes/s, 2-byte blocks, 16 bits.
    Bytes contents{1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0};
    contents.resize(16 + extension, 0);
    return chunk("fmt ", contents);
}

Bytes formatChunkFor(std::uint16_t tag, std::uint16_t channels, std::uint32_t sampleRate,
                     std::uint16_t bitsPerSample, const Bytes& extension) {
    const auto blockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
    const std::vector<std::int16_t> shorts{static_cast<std::int16_t>(tag),
                                           static_cast<std::int16_t>(channels)};
    const std::vector<std::int16_t> tail{static_cast<std::int16_t>(blockAlign),
                                         static_cast<std::int16_t>(bitsPerSample)};
    return chunk("fmt ",
                 join({sampleBytes(shorts), littleEndian32(sampleRate),
                       littleEndian32(sampleRate * blockAlign), sampleBytes(tail), extension}));
}

Bytes littleEndian32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

Bytes wavFile(const Bytes& body, std::optional<std::uint32_t> riffSize) {
    return chunk("RIFF", join({{'W', 'A', 'V', 'E'}, body}), riffSize);
}

Bytes pcmWav(const std::vector<std::int16_t>& samples) {
    return wavFile(join({formatChunk(), chunk("data", sampleBytes(samples))}));
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::vector<std::int16_t> testSignal(std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double envelope = static_cast<double>(i % 4000) / 4000.0;
        const double tone = std::sin(static_cast<double>(i) * 0.37);
        samples[i] = static_cast<std::int16_t>(std::lround(32767.0 * envelope * tone));
    }
    return samples;
}

}  // namespace quen::test
