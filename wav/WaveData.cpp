// The WAV checks and chunk walk. Offsets are 64-bit counts within the body, so no
// stated chunk length can wrap a position around or carry a read past the buffer.
#include "wav/WaveData.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/LogSink.h"
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
std::optional<std::uint32_t> checkFormat(std::span<const std::uint8_t> body, LogSink& log) {
    if (body.size() < 4 ||
        std::string_view(reinterpret_cast<const char*>(body.data()), 4) != "fmt ") {
        log.write("Bad \".wav\" file format.  Did not find \"fmt\" (format) section.");
        return std::nullopt;
    }
    // A body too short for the fields examined cannot hold a format chunk of legal
    // length either.
    const std::uint32_t length =
        body.size() >= CHUNK_HEADER_BYTES ? getLittleEndian32(body.subspan(4)) : 0;
    if (body.size() < CHUNK_HEADER_BYTES + FORMAT_FIELD_BYTES || length < MIN_FORMAT_LENGTH ||
        length > MAX_FORMAT_LENGTH) {
        log.write("Bad \".wav\" file format.  Length of \"format\" sub-chunk is incorrect.");
        return std::nullopt;
    }
    const WaveFormat format = readFormatFields(body.subspan(CHUNK_HEADER_BYTES));
    // Channels come before the tag: a multi-channel file of any encoding gets the
    // multi-channel message.
    if (format.channels != 1) {
        log.write("Bad \".wav\" file format.  Cannot process multi-channel data.");
        return std::nullopt;
    }
    if (format.tag != FORMAT_TAG_PCM) {
        log.write("Bad \".wav\" file format. File not in PCM/Uncompressed format.");
        return std::nullopt;
    }
    if (format.sampleRate != SPEECH_SAMPLE_RATE) {
        log.write("Bad \".wav\" file format.  Sample rate not 8000 samples/sec.");
        return std::nullopt;
    }
    if (format.blockAlign != BLOCK_ALIGN || format.bitsPerSample != BITS_PER_SAMPLE) {
        log.write("Bad \".wav\" file format.  Sample size not 16 bits.");
        return std::nullopt;
    }
    return length;
}

}  // namespace

std::optional<WaveLocation> locateWaveData(const BodyReader& read, std::uint64_t present,
                                           std::uint32_t bodyLength, LogSink& log) {
    const std::uint64_t end = std::min<std::uint64_t>(bodyLength, present);
    std::array<std::uint8_t, CHUNK_HEADER_BYTES + FORMAT_FIELD_BYTES> head{};
    const auto formatBytes = std::span(head).first(std::min<std::uint64_t>(end, head.size()));
    if (!read(0, formatBytes)) {
        return std::nullopt;
    }
    const auto formatLength = checkFormat(formatBytes, log);
    if (!formatLength) {
        return std::nullopt;
    }
    constexpr std::string_view noData = "Bad \".wav\" file format.  Did not find \"data\" section.";
    // The full stated length counts, extension included; no pad byte follows an
    // odd-length chunk.
    std::uint64_t pos = CHUNK_HEADER_BYTES + *formatLength;
    if (pos + CHUNK_HEADER_BYTES > end) {
        log.write(noData);
        return std::nullopt;
    }
    for (;;) {
        std::array<std::uint8_t, CHUNK_HEADER_BYTES> bytes{};
        if (!read(pos, bytes)) {
            return std::nullopt;
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
            log.write(noData);
            return std::nullopt;
        }
    }
}

std::optional<WaveData> locateWaveData(std::span<const std::uint8_t> body, std::uint32_t bodyLength,
                                       LogSink& log) {
    const auto fromMemory = [body](std::uint64_t offset, std::span<std::uint8_t> out) {
        std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return true;
    };
    const auto location = locateWaveData(fromMemory, body.size(), bodyLength, log);
    if (!location) {
        return std::nullopt;
    }
    return WaveData{body.subspan(location->offset, location->length)};
}

}  // namespace quen
