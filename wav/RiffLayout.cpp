// The standard chunk walk: an odd chunk length is followed by one pad byte, and an
// RF64 file takes its real sizes from the "ds64" chunk. All offsets are 64-bit and
// every read is checked against the end of the buffer.
#include "wav/RiffLayout.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteOrder.h"

namespace quen {
namespace {

constexpr std::uint64_t FILE_HEADER_BYTES = 12;
constexpr std::uint16_t TAG_EXTENSIBLE = 0xFFFE;
// cbSize, valid bits, channel mask, then the sub-format GUID.
constexpr std::size_t SUB_FORMAT_OFFSET = 24;
// An RF64 size field of all ones defers to the ds64 chunk.
constexpr std::uint32_t RF64_DEFERRED = 0xFFFFFFFF;

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return getLittleEndian16(bytes.subspan(offset));
}

std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return getLittleEndian32(bytes.subspan(offset));
}

std::uint64_t read64(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return read32(bytes, offset) | std::uint64_t{read32(bytes, offset + 4)} << 32;
}

std::string idAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    std::string id(4, '?');
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint8_t byte = bytes[offset + i];
        if (byte >= 0x20 && byte < 0x7F) {
            id[i] = static_cast<char>(byte);
        }
    }
    return id;
}

WaveFormatFields readFormat(std::span<const std::uint8_t> contents) {
    WaveFormatFields format{readFormatFields(contents), std::nullopt};
    if (format.tag == TAG_EXTENSIBLE && contents.size() >= SUB_FORMAT_OFFSET + 2) {
        format.subFormatTag = read16(contents, SUB_FORMAT_OFFSET);
    }
    return format;
}

}  // namespace

std::optional<RiffLayout> readRiffLayout(std::span<const std::uint8_t> file) {
    if (file.size() < FILE_HEADER_BYTES || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    RiffLayout layout;
    layout.container = idAt(file, 0);
    if (layout.container != "RIFF" && layout.container != "RF64") {
        return std::nullopt;
    }
    const bool rf64 = layout.container == "RF64";
    layout.statedSize = read32(file, 4);
    layout.fileSize = file.size();
    std::optional<std::uint64_t> ds64DataLength;
    std::uint64_t pos = FILE_HEADER_BYTES;
    while (pos + CHUNK_HEADER_BYTES <= file.size()) {
        if (layout.chunks.size() == MAX_LISTED_CHUNKS) {
            layout.moreChunks = true;
            break;
        }
        RiffChunk chunk{idAt(file, pos), pos, read32(file, pos + 4), false};
        const std::uint64_t start = pos + CHUNK_HEADER_BYTES;
        if (rf64 && chunk.id == "ds64" && chunk.length >= 16 && start + 16 <= file.size()) {
            if (layout.statedSize == RF64_DEFERRED) {
                layout.statedSize = read64(file, start);
            }
            ds64DataLength = read64(file, start + 8);
        }
        if (rf64 && chunk.id == "data" && chunk.length == RF64_DEFERRED && ds64DataLength) {
            chunk.length = *ds64DataLength;
        }
        const std::uint64_t present = file.size() - start;
        chunk.pastEnd = chunk.length > present;
        const auto contents = file.subspan(start, std::min(chunk.length, present));
        if (chunk.id == "fmt " && !layout.format && contents.size() >= FORMAT_FIELD_BYTES) {
            layout.format = readFormat(contents);
        }
        if (chunk.id == "data" && !layout.dataLength) {
            layout.dataLength = contents.size();
        }
        layout.chunks.push_back(chunk);
        // Nothing follows a chunk that runs past the end; stopping here also keeps a
        // 64-bit RF64 length from wrapping the position around.
        if (chunk.pastEnd) {
            break;
        }
        pos = start + chunk.length + (chunk.length & 1);
    }
    return layout;
}

std::string formatTagName(std::uint16_t tag) {
    switch (tag) {
        case 0x0001:
            return "PCM";
        case 0x0002:
            return "Microsoft ADPCM";
        case 0x0003:
            return "IEEE float";
        case 0x0006:
            return "A-law";
        case 0x0007:
            return "mu-law";
        case 0x0011:
            return "IMA ADPCM";
        case 0x0031:
            return "GSM 6.10";
        case 0x0050:
            return "MPEG";
        case 0x0055:
            return "MPEG layer 3";
        case TAG_EXTENSIBLE:
            return "extensible";
        default:
            return "unknown";
    }
}

}  // namespace quen
