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

Bytes littleEndian32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

Bytes chunk(const std::string& id, const Bytes& contents,
            std::optional<std::uint32_t> statedLength) {
    return join({Bytes(id.begin(), id.end()),
                 littleEndian32(statedLength.value_or(static_cast<std::uint32_t>(contents.size()))),
                 contents});
}

Bytes formatChunk(std::size_t extension) {
    return formatChunkFor(1, 1, 8000, 16, Bytes(extension, 0));
}

Bytes formatChunkFor(std::uint16_t tag, std::uint16_t channels, std::uint32_t sampleRate,
                     std::uint16_t bitsPerSample, const Bytes& extension) {
    const auto blockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
    const auto shorts = [](std::uint16_t first, std::uint16_t second) {
        return sampleBytes({static_cast<std::int16_t>(first), static_cast<std::int16_t>(second)});
    };
    return chunk("fmt ", join({shorts(tag, channels), littleEndian32(sampleRate),
                               littleEndian32(sampleRate * blockAlign),
                               shorts(blockAlign, bitsPerSample), extension}));
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
