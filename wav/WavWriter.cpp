// RIFF header fields in the order a reader checks them, then the samples.
#include "wav/WavWriter.h"

#include <limits>
#include <string_view>

#include "wav/WaveFormat.h"

namespace quen {
namespace {

constexpr std::uint16_t BITS_PER_SAMPLE = 16;
constexpr std::uint16_t CHANNELS = 1;
constexpr std::uint16_t BLOCK_ALIGN = CHANNELS * BITS_PER_SAMPLE / 8;

void put(std::vector<std::uint8_t>& out, std::string_view id) {
    out.insert(out.end(), id.begin(), id.end());
}

}  // namespace

std::vector<std::uint8_t> wavHeader(std::size_t sampleCount) {
    constexpr std::uint64_t limit = std::numeric_limits<std::uint32_t>::max() - 36;
    const std::uint64_t dataBytes = std::uint64_t{sampleCount} * BLOCK_ALIGN;
    if (dataBytes > limit) {
        return {};
    }
    std::vector<std::uint8_t> out;
    out.reserve(WAV_HEADER_BYTES);
    put(out, "RIFF");
    appendLittleEndian32(out, static_cast<std::uint32_t>(36 + dataBytes));
    put(out, "WAVE");
    put(out, "fmt ");
    appendLittleEndian32(out, FORMAT_FIELD_BYTES);
    appendLittleEndian16(out, FORMAT_TAG_PCM);
    appendLittleEndian16(out, CHANNELS);
    appendLittleEndian32(out, SPEECH_SAMPLE_RATE);
    appendLittleEndian32(out, SPEECH_SAMPLE_RATE * BLOCK_ALIGN);
    appendLittleEndian16(out, BLOCK_ALIGN);
    appendLittleEndian16(out, BITS_PER_SAMPLE);
    put(out, "data");
    appendLittleEndian32(out, static_cast<std::uint32_t>(dataBytes));
    return out;
}

std::vector<std::uint8_t> wavImage(std::span<const std::int16_t> samples) {
    std::vector<std::uint8_t> out = wavHeader(samples.size());
    if (out.empty()) {
        return out;
    }
    // Sized once and filled by index: a push per byte doubles the time of a long file.
    out.resize(WAV_HEADER_BYTES + samples.size() * BLOCK_ALIGN);
    const auto data = std::span(out).subspan(WAV_HEADER_BYTES);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        setLittleEndian16(data.subspan(2 * i), static_cast<std::uint16_t>(samples[i]));
    }
    return out;
}

}  // namespace quen
