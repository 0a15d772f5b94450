// Where things sit in a data file: the preamble ahead of the header, and the packets.
// The writer, the packetiser and the reader all take them from here; a packet's frame
// is its codec's (codec/Codec.h).
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace quen
