// The codec codes (`cpType`) that choose the encoder and the packet geometry, the
// message format codes that map to them, and the G.723.1 block and frame sizes that
// the compression and the packetiser share.
#pragma once

#include <cstdint>

namespace quen {

constexpr std::int32_t CP_TYPE_ALAW = 0x89;   // 137; also every unlisted code
constexpr std::int32_t CP_TYPE_MULAW = 0x8A;  // 138
constexpr std::int32_t CP_TYPE_G723 = 0x8B;   // 139

// The codec of a message file's format code (whose low byte is its flash type): the
// old and new message codes of each codec; anything unlisted is mu-law.
constexpr std::int32_t cpTypeOfFormatCode(std::int32_t formatCode) {
    switch (formatCode) {
        case 0x83:
        case 0xEB:
        case 0xCB:
        case 0x8B:
            return CP_TYPE_G723;
        case 0x81:
        case 0xE9:
        case 0xC9:
        case 0x89:
            return CP_TYPE_ALAW;
        default:
            return CP_TYPE_MULAW;
    }
}

// PCM bytes per G.723.1 frame: 240 samples of 2 bytes, 30 ms at 8000 samples/s.
constexpr std::uint32_t G723_BLOCK_BYTES = 480;
// Bytes of one encoded 6.3 kbit/s G.723.1 frame.
constexpr std::uint32_t G723_FRAME_BYTES = 24;

}  // namespace quen
