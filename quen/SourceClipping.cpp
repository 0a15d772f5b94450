// Only what the layout vouches for is read: the listed data chunk, cut at the file's end.
#include "quen/SourceClipping.h"

#include <algorithm>
#include <vector>

namespace quen::tool {
namespace {

constexpr std::uint16_t PCM_TAG = 1;
constexpr std::uint16_t EXTENSIBLE_TAG = 0xFFFE;
constexpr std::uint64_t CHUNK_HEADER_BYTES = 8;

}  // namespace

std::optional<ClippingRuns> pcmSourceClipping(const RiffLayout& layout,
                                              std::span<const std::uint8_t> file) {
    const auto& format = layout.format;
    if (!format || format->channels == 0) {
        return std::nullopt;
    }
    const bool pcm = format->tag == PCM_TAG ||
                     (format->tag == EXTENSIBLE_TAG && format->subFormatTag == PCM_TAG);
    const std::size_t bytes = format->bitsPerSample / 8;
    if (!pcm || (format->bitsPerSample != 8 && format->bitsPerSample != 16)) {
        return std::nullopt;
    }
    const auto data = std::find_if(layout.chunks.begin(), layout.chunks.end(),
                                   [](const RiffChunk& chunk) { return chunk.id == "data"; });
    if (data == layout.chunks.end() || data->offset + CHUNK_HEADER_BYTES > file.size()) {
        return std::nullopt;
    }
    const std::uint64_t start = data->offset + CHUNK_HEADER_BYTES;
    const auto samples = file.subspan(start, std::min(data->length, file.size() - start));
    // 8-bit PCM is unsigned: 0 and 255 are its full scale.
    std::vector<ClippingRunCounter> counters(
        format->channels,
        bytes == 1 ? ClippingRunCounter(-128, 127) : ClippingRunCounter::for16Bit());
    const std::size_t frame = bytes * format->channels;
    for (std::size_t at = 0; at + frame <= samples.size(); at += frame) {
        for (std::size_t channel = 0; channel < counters.size(); ++channel) {
            const std::uint8_t* sample = samples.data() + at + channel * bytes;
            const float value = bytes == 1 ? static_cast<float>(sample[0]) - 128.0f
                                           : static_cast<std::int16_t>(sample[0] | sample[1] << 8);
            counters[channel].add(std::span(&value, 1));
        }
    }
    ClippingRuns total;
    for (const ClippingRunCounter& counter : counters) {
        total.runs += counter.result().runs;
        total.samples += counter.result().samples;
    }
    return total;
}

}  // namespace quen::tool
