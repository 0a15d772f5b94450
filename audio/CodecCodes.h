// The codec codes (`cpType`) that choose the encoder and the packet geometry, and the
// G.723.1 block and frame sizes that the compression and the packetiser share.
#pragma once

#include <cstdint>

namespace quen {

constexpr std::int32_t CP_TYPE_ALAW = 0x89;   // 137; also every unlisted code
constexpr std::int32_t CP_TYPE_MULAW = 0x8A;  // 138
constexpr std::int32_t CP_TYPE_G723 = 0x8B;   // 139

// PCM bytes per G.723.1 frame: 240 samples of 2 bytes, 30 ms at 8000 samples/s.
constexpr std::uint32_t G723_BLOCK_BYTES = 480;
// Bytes of one encoded 6.3 kbit/s G.723.1 frame.
constexpr std::uint32_t G723_FRAME_BYTES = 24;

}  // namespace quen
