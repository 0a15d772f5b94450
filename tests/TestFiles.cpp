// WAV images (little-endian chunk headers around the given contents) and expected data
// files (header fields, preamble and packets written out plainly).
#include "tests/TestFiles.h"

#include <algorithm>
#include <cmath>

#include "codec/G711Encoder.h"
#include "dsp/SpeechLevel.h"
#include "tests/TestSignals.h"

namespace quen::test {

Bytes sampleBytes(const std::vector<std::int16_t>& samples) {
    Bytes bytes;
    for (const std::int16_t sample : samples) {
        bytes.push_back(static_cast<std::uint8_t>(sample));
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8));
    }
    return bytes;
}

// A 32-bit little-endian value.
static Bytes littleEndian32(std::uint32_t value) {
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

std::vector<std::int16_t> speechAt(double seconds, double levelDbm0) {
    const std::vector<float> noise = speechLikeNoise(seconds, 7);
    const double gain =
        std::pow(10.0, (levelDbm0 - *measureSpeechLevel(noise).activeLevelDbm0) / 20.0);
    std::vector<std::int16_t> samples;
    for (const float sample : noise) {
        samples.push_back(static_cast<std::int16_t>(
            std::clamp(std::lround(sample * gain * FULL_SCALE_16BIT), -32768L, 32767L)));
    }
    return samples;
}

namespace {

void putBigEndian(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

}  // namespace

Bytes expectedDataFile(std::uint8_t flashType, const ExpectedHeader& header, const Bytes& stream,
                       std::size_t frameBytes) {
    // Preamble (total length, two zero bytes, flash type, header length), then the header.
    Bytes file(6 + 208, 0);
    file[4] = flashType;
    file[5] = 208;
    const std::u16string* texts[] = {&header.mailboxName, &header.secondText,
                                     &header.displayString};
    for (std::size_t field = 0; field < 3; ++field) {
        for (std::size_t i = 0; i < texts[field]->size() && i < 32; ++i) {
            file[6 + 64 * field + 2 * i] = static_cast<std::uint8_t>((*texts[field])[i] >> 8);
            file[7 + 64 * field + 2 * i] = static_cast<std::uint8_t>((*texts[field])[i]);
        }
    }
    std::copy(header.reserved.begin(), header.reserved.end(), file.begin() + 198);
    std::copy(header.internalFlag.begin(), header.internalFlag.end(), file.begin() + 202);
    putBigEndian(file, 206, static_cast<std::uint32_t>(header.recordTime));
    putBigEndian(file, 210, static_cast<std::uint32_t>(header.listenTime));
    for (std::size_t pos = 0; pos < stream.size(); pos += 128 * frameBytes) {
        const std::size_t size = std::min(128 * frameBytes, stream.size() - pos);
        file.push_back(static_cast<std::uint8_t>((size + frameBytes - 1) / frameBytes - 1));
        file.insert(file.end(), stream.begin() + static_cast<std::ptrdiff_t>(pos),
                    stream.begin() + static_cast<std::ptrdiff_t>(pos + size));
    }
    putBigEndian(file, 0, static_cast<std::uint32_t>(file.size()));
    return file;
}

Bytes g711Stream(const std::vector<std::int16_t>& samples, bool muLaw) {
    Bytes stream(samples.size());
    (muLaw ? makeMuLawEncoder() : makeALawEncoder())->encode(sampleBytes(samples), stream);
    return stream;
}

std::int32_t bigEndian32At(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::int32_t>(
        std::uint32_t{bytes.at(offset)} << 24 | std::uint32_t{bytes.at(offset + 1)} << 16 |
        std::uint32_t{bytes.at(offset + 2)} << 8 | bytes.at(offset + 3));
}

std::string greeting(const std::string& id, const std::string& recording) {
    return "<Greeting id=\"" + id + "\"><RecordingName>" + recording +
           "</RecordingName></Greeting>";
}

std::string attendant(const std::string& name, const std::string& greetings) {
    return "<AutoAttendant><AAName>" + name + "</AAName><Greetings>" + greetings +
           "</Greetings></AutoAttendant>";
}

std::string configuration(const std::string& attendants) {
    return "<zandorConfiguration><AutoAttendants>" + attendants +
           "</AutoAttendants></zandorConfiguration>";
}

// Built piecewise: gcc 12 warns falsely on a literal + std::to_string.
std::string recording(std::size_t number) {
    std::string name(1, 'g');
    name += std::to_string(number);
    return name += ".wav";
}

}  // namespace quen::test
