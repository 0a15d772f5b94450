// The standard chunk walk: an odd chunk length is followed by one pad byte, and an
// RF64 file takes its real sizes from the "ds64" chunk. All offsets are 64-bit and
// every read is checked against the end of the file, which is never read whole.
#include "wav/RiffLayout.h"

#include <algorithm>
#include <array>
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
// Of a chunk's contents only the start is ever read: the ds64 sizes, or the format
// fields up to an extensible header's sub-format tag.
constexpr std::size_t CONTENTS_READ_BYTES = SUB_FORMAT_OFFSET + 2;

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

// The walk itself, over a file of `fileSize` bytes that `fetch(offset, out)` reads:
// only the file header, the chunk headers and the start of the "fmt " and "ds64"
// chunks are ever asked for, so the size of the file costs nothing. A read that fails
// ends the walk where it is, as the end of the file would.
template <typename Fetch>
std::optional<RiffLayout> walkLayout(std::uint64_t fileSize, Fetch&& fetch) {
    std::array<std::uint8_t, FILE_HEADER_BYTES> header{};
    if (fileSize < FILE_HEADER_BYTES || !fetch(0, std::span(header)) ||
        std::memcmp(header.data() + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    RiffLayout layout;
    layout.container = idAt(header, 0);
    if (layout.container != "RIFF" && layout.container != "RF64") {
        return std::nullopt;
    }
    const bool rf64 = layout.container == "RF64";
    layout.statedSize = read32(header, 4);
    layout.fileSize = fileSize;
    std::optional<std::uint64_t> ds64DataLength;
    std::uint64_t pos = FILE_HEADER_BYTES;
    std::array<std::uint8_t, CHUNK_HEADER_BYTES> chunkHeader{};
    std::array<std::uint8_t, CONTENTS_READ_BYTES> start{};
    while (pos + CHUNK_HEADER_BYTES <= fileSize && fetch(pos, std::span(chunkHeader))) {
        if (layout.chunks.size() == MAX_LISTED_CHUNKS) {
            layout.moreChunks = true;
            break;
        }
        RiffChunk chunk{idAt(chunkHeader, 0), pos, read32(chunkHeader, 4), false};
        const std::uint64_t contentsAt = pos + CHUNK_HEADER_BYTES;
        const std::uint64_t present = fileSize - contentsAt;
        const std::uint64_t readable = std::min(chunk.length, present);
        const auto contents = std::span(start).first(
            static_cast<std::size_t>(std::min<std::uint64_t>(readable, start.size())));
        const bool wanted = chunk.id == "fmt " || chunk.id == "ds64";
        if (wanted && !contents.empty() && !fetch(contentsAt, contents)) {
            break;
        }
        if (rf64 && chunk.id == "ds64" && chunk.length >= 16 && contentsAt + 16 <= fileSize) {
            if (layout.statedSize == RF64_DEFERRED) {
                layout.statedSize = read64(contents, 0);
            }
            ds64DataLength = read64(contents, 8);
        }
        if (rf64 && chunk.id == "data" && chunk.length == RF64_DEFERRED && ds64DataLength) {
            chunk.length = *ds64DataLength;
        }
        chunk.pastEnd = chunk.length > present;
        if (chunk.id == "fmt " && !layout.format && readable >= FORMAT_FIELD_BYTES) {
            layout.format = readFormat(contents);
        }
        if (chunk.id == "data" && !layout.dataLength) {
            layout.dataLength = std::min(chunk.length, present);
        }
        layout.chunks.push_back(chunk);
        // Nothing follows a chunk that runs past the end; stopping here also keeps a
        // 64-bit RF64 length from wrapping the position around.
        if (chunk.pastEnd) {
            break;
        }
        pos = contentsAt + chunk.length + (chunk.length & 1);
    }
    return layout;
}

}  // namespace

std::optional<RiffLayout> readRiffLayout(std::span<const std::uint8_t> file) {
    return walkLayout(file.size(), [file](std::uint64_t offset, std::span<std::uint8_t> out) {
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return true;
    });
}

std::optional<RiffLayout> readRiffLayout(InputFile& file) {
    return walkLayout(file.size(), [&file](std::uint64_t offset, std::span<std::uint8_t> out) {
        return file.readAt(offset, out);
    });
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
