// Where things sit in a data file: the preamble ahead of the header, and the packet
// geometry by codec. The writer, the packetiser and the reader all take them from here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/CodecCodes.h"
#include "datafile/DataFileHeader.h"

namespace quen {

// Total length (4 bytes, big-endian), flash type (1), header length (1), header.
constexpr std::size_t TOTAL_LENGTH_OFFSET = 0;
constexpr std::size_t FLASH_TYPE_OFFSET = 4;
constexpr std::size_t HEADER_LENGTH_OFFSET = 5;
constexpr std::size_t HEADER_OFFSET = 6;
constexpr std::size_t PREAMBLE_BYTES = HEADER_OFFSET + DataFileHeader::SIZE;

// A packet is one byte holding its frame count minus one, then its frames.
constexpr std::size_t FRAMES_PER_PACKET = 128;
constexpr std::uint8_t FULL_PACKET_HEADER = FRAMES_PER_PACKET - 1;
// 10 ms of G.711, one byte per sample.
constexpr std::size_t G711_FRAME_BYTES = 80;

// G.723.1 frames for `cpType` 139, G.711 frames for any other code.
constexpr std::size_t frameBytesOf(std::int32_t cpType) {
    return cpType == CP_TYPE_G723 ? G723_FRAME_BYTES : G711_FRAME_BYTES;
}

}  // namespace quen
