// The WAV checks and chunk walk. Offsets are 64-bit counts within the body, so no
// stated chunk length can wrap a position around or carry a read past the buffer.
#include "wav/WaveData.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "wav/WaveFormat.h"

namespace quen {
namespace {

constexpr std::uint16_t BLOCK_ALIGN = 2;
constexpr std::uint16_t BITS_PER_SAMPLE = 16;

struct ChunkHeader {
    std::string_view id;
    std::uint32_t length;
};

ChunkHeader readChunkHeader(std::span<const std::uint8_t, CHUNK_HEADER_BYTES> header) {
    return {{reinterpret_cast<const char*>(header.data()), 4},
            getLittleEndian32(header.subspan<4, 4>())};
}

// Checks 1 to 6 on the part of the body the RIFF size covers; the length of the
// format chunk's contents when all pass.
Result<std::uint32_t, RecordingRefusal> checkFormat(std::span<const std::uint8_t> body) {
    if (body.size() < 4 ||
        std::string_view(reinterpret_cast<const char*>(body.data()), 4) != "fmt ") {
        return RecordingRefusal::NoFormatChunk;
    }
    // A body too short for the fields examined cannot hold a format chunk of legal
    // length either.
    const std::uint32_t length =
        body.size() >= CHUNK_HEADER_BYTES ? getLittleEndian32(body.subspan(4)) : 0;
    if (body.size() < CHUNK_HEADER_BYTES + FORMAT_FIELD_BYTES || length < MIN_FORMAT_LENGTH ||
        length > MAX_FORMAT_LENGTH) {
        return RecordingRefusal::FormatLength;
    }
    const WaveFormat format = readFormatFields(body.subspan(CHUNK_HEADER_BYTES));
    // Channels come before the tag: a multi-channel file of any encoding is refused for
    // its channels.
    if (format.channels != 1) {
        return RecordingRefusal::MultiChannel;
    }
    if (format.tag != FORMAT_TAG_PCM) {
        return RecordingRefusal::NotPcm;
    }
    if (format.sampleRate != SPEECH_SAMPLE_RATE) {
        return RecordingRefusal::SampleRate;
    }
    if (format.blockAlign != BLOCK_ALIGN || format.bitsPerSample != BITS_PER_SAMPLE) {
        return RecordingRefusal::SampleSize;
    }
    return length;
}

}  // namespace

Result<WaveLocation, RecordingFailure> locateWaveData(const BodyReader& read, std::uint64_t present,
                                                      std::uint32_t bodyLength) {
    const std::uint64_t end = std::min<std::uint64_t>(bodyLength, present);
    std::array<std::uint8_t, CHUNK_HEADER_BYTES + FORMAT_FIELD_BYTES> head{};
    const auto formatBytes = std::span(head).first(std::min<std::uint64_t>(end, head.size()));
    if (const auto got = read(0, formatBytes); !got) {
        return RecordingFailure(got.failure());
    }
    const auto formatLength = checkFormat(formatBytes);
    if (!formatLength) {
        return RecordingFailure(formatLength.failure());
    }
    // The full stated length counts, extension included; no pad byte follows an
    // odd-length chunk.
    std::uint64_t pos = CHUNK_HEADER_BYTES + *formatLength;
    if (pos + CHUNK_HEADER_BYTES > end) {
        return RecordingFailure(RecordingRefusal::NoDataChunk);
    }
    for (;;) {
        std::array<std::uint8_t, CHUNK_HEADER_BYTES> bytes{};
        if (const auto got = read(pos, bytes); !got) {
            return RecordingFailure(got.failure());
        }
        const ChunkHeader header = readChunkHeader(bytes);
        if (header.id == "data") {
            const std::uint64_t start = pos + CHUNK_HEADER_BYTES;
            return WaveLocation{start, std::min<std::uint64_t>(header.length, present - start)};
        }
        pos += CHUNK_HEADER_BYTES + header.length;
        // Strict: after a skipped chunk, a header ending exactly at the end of the
        // body is not examined.
        if (pos + CHUNK_HEADER_BYTES >= end) {
            return RecordingFailure(RecordingRefusal::NoDataChunk);
        }
    }
}

Result<WaveData, RecordingRefusal> locateWaveData(std::span<const std::uint8_t> body,
                                                  std::uint32_t bodyLength) {
    const auto fromMemory = [body](std::uint64_t offset,
                                   std::span<std::uint8_t> out) -> Result<void, FailureCategory> {
        std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return {};
    };
    const auto location = locateWaveData(fromMemory, body.size(), bodyLength);
    if (!location) {
        // Memory is always read: only a refusal is left.
        return *location.failure().refusal();
    }
    return WaveData{body.subspan(location->offset, location->length)};
}

}  // namespace quen
