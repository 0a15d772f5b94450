// Cuts a compressed stream into the packets of a data file: at most 128 frames each,
// behind one header byte holding the packet's frame count minus one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/ByteSpan.h"
#include "platform/LogSink.h"

namespace quen {

// The packet stream as pieces to write one after the other: each packet's header byte,
// then its payload, which stays in the compressed stream (no copy is made). The
// stream must outlive the pieces.
struct PacketStream {
    PacketStream() = default;
    PacketStream(PacketStream&&) = default;
    PacketStream& operator=(PacketStream&&) = default;
    // A copy's pieces would still point into the original's headers.
    PacketStream(const PacketStream&) = delete;
    PacketStream& operator=(const PacketStream&) = delete;

    std::vector<std::uint8_t> headers;
    std::vector<ByteSpan> pieces;

    std::size_t size() const;
};

// Frames are 24 bytes for `cpType` 139 and 80 bytes (10 ms of G.711) for any other
// code; a trailing partial frame counts as a frame. Empty when no room could be had
// for the packet list, after the reason was written to `log`.
std::optional<PacketStream> packetise(std::span<const std::uint8_t> stream, std::int32_t cpType,
                                      LogSink& log);

}  // namespace quen
