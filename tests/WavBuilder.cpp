// WAV images for tests: little-endian chunk headers around the given contents.
#include "tests/WavBuilder.h"

#include <cmath>
#include <stdexcept>

namespace quen::test {
namespace {

void appendLittleEndian(Bytes& out, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void appendId(Bytes& out, const std::string& id) {
    if (id.size() != 4) {
        throw std::invalid_argument("chunk id must have four characters: " + id);
    }
    out.insert(out.end(), id.begin(), id.end());
}

}  // namespace

Bytes sampleBytes(const std::vector<std::int16_t>& samples) {
    Bytes bytes;
    bytes.reserve(samples.size() * 2);
    for (const std::int16_t sample : samples) {
        appendLittleEndian(bytes, static_cast<std::uint16_t>(sample), 2);
    }
    return bytes;
}

WavChunk formatChunk(const WavFormat& format) {
    Bytes contents;
    appendLittleEndian(contents, format.formatTag, 2);
    appendLittleEndian(contents, format.channels, 2);
    appendLittleEndian(contents, format.sampleRate, 4);
    appendLittleEndian(contents, format.byteRate, 4);
    appendLittleEndian(contents, format.blockAlign, 2);
    appendLittleEndian(contents, format.bitsPerSample, 2);
    contents.insert(contents.end(), format.extension.begin(), format.extension.end());
    return {"fmt ", contents, std::nullopt};
}

WavChunk dataChunk(const std::vector<std::int16_t>& samples) {
    return {"data", sampleBytes(samples), std::nullopt};
}

WavChunk dataChunk(Bytes bytes) {
    return {"data", std::move(bytes), std::nullopt};
}

Bytes riffBody(const std::vector<WavChunk>& chunks) {
    Bytes body;
    for (const WavChunk& chunk : chunks) {
        appendId(body, chunk.id);
        appendLittleEndian(
            body, chunk.statedLength.value_or(static_cast<std::uint32_t>(chunk.contents.size())),
            4);
        body.insert(body.end(), chunk.contents.begin(), chunk.contents.end());
    }
    return body;
}

Bytes wavFile(const std::vector<WavChunk>& chunks, std::optional<std::uint32_t> riffSize,
              const Bytes& trailing) {
    const Bytes body = riffBody(chunks);
    Bytes file;
    appendId(file, "RIFF");
    appendLittleEndian(file, riffSize.value_or(static_cast<std::uint32_t>(body.size() + 4)), 4);
    appendId(file, "WAVE");
    file.insert(file.end(), body.begin(), body.end());
    file.insert(file.end(), trailing.begin(), trailing.end());
    return file;
}

Bytes pcmWav(const std::vector<std::int16_t>& samples) {
    return wavFile({formatChunk(), dataChunk(samples)});
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
