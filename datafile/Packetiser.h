// Cuts a compressed stream into the packets of a data file: at most 128 frames each,
// behind one header byte holding the packet's frame count minus one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quen {

// Frames are 24 bytes for `cpType` 139 and 80 bytes (10 ms of G.711) for any other
// code; a trailing partial frame counts as a frame. Empty when no buffer could be
// had, after the reason was written to the error log.
std::optional<std::vector<std::uint8_t>> packetise(std::span<const std::uint8_t> stream,
                                                   std::int32_t cpType);

}  // namespace quen
