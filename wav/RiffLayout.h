// What a RIFF/WAVE (or RF64) file holds, as a standard reader sees it: the chunks
// with their offsets and the format fields, extensible headers included. For
// describing a recording; whether QuenGreeting accepts it is decided by the
// converter's own walk (WaveData.h), never here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/InputFile.h"
#include "wav/WaveFormat.h"

namespace quen {

// A damaged file may look like millions of empty chunks; nobody reads more than these.
constexpr std::size_t MAX_LISTED_CHUNKS = 1000;

struct RiffChunk {
    std::string id;            // four bytes, unprintable ones shown as '?'
    std::uint64_t offset = 0;  // of the chunk header in the file
    std::uint64_t length = 0;  // as stated (for RF64's data chunk, from its ds64 chunk)
    bool pastEnd = false;      // the stated length runs past the end of the file
};

// The format chunk's fields and, from an extensible header, the tag its sub-format
// GUID carries.
struct WaveFormatFields : WaveFormat {
    std::optional<std::uint16_t> subFormatTag;
};

struct RiffLayout {
    std::string container;         // "RIFF" or "RF64"
    std::uint64_t statedSize = 0;  // the size field of the file header
    std::uint64_t fileSize = 0;
    std::vector<RiffChunk> chunks;            // in file order, pad bytes after odd lengths skipped
    bool moreChunks = false;                  // the list stopped at MAX_LISTED_CHUNKS
    std::optional<WaveFormatFields> format;   // from the first "fmt " chunk
    std::optional<std::uint64_t> dataLength;  // of the first "data" chunk, cut to the file
};

// Empty when the bytes are not a RIFF or RF64 file of form type WAVE.
std::optional<RiffLayout> readRiffLayout(std::span<const std::uint8_t> file);
// The same of an open file, reading its headers only: any size costs a few small reads.
std::optional<RiffLayout> readRiffLayout(InputFile& file);

// "PCM", "IEEE float", "A-law", "mu-law", "extensible", ... or "unknown".
std::string formatTagName(std::uint16_t tag);

}  // namespace quen
