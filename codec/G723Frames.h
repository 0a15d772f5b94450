// The kinds of G.723.1 frame, told by the two low bits of a frame's first byte, and the
// size of each.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/g723module/G723ModuleAbi.h"

namespace quen {

constexpr std::uint8_t G723_RATE_BITS = 0x03;
constexpr std::uint8_t G723_FULL_RATE = 0;  // 6.3 kbit/s, the one rate this system writes
constexpr std::uint8_t G723_LOW_RATE = 1;   // 5.3 kbit/s
constexpr std::uint8_t G723_SILENCE = 2;    // a silence description

constexpr std::uint8_t g723RateBits(std::uint8_t firstByte) {
    return firstByte & G723_RATE_BITS;
}

// The size of a frame by its first byte; the fourth kind, unused, is taken as full rate.
constexpr std::size_t g723FrameBytes(std::uint8_t firstByte) {
    switch (g723RateBits(firstByte)) {
        case G723_LOW_RATE:
            return 20;
        case G723_SILENCE:
            return 4;
        default:
            return QUEN_G723_FRAME_BYTES;
    }
}

}  // namespace quen
