// Packet geometry by codec and the list of pieces that make up the packet stream.
#include "datafile/Packetiser.h"

#include <new>

#include "datafile/DataFileLayout.h"

namespace quen {

std::size_t PacketStream::size() const {
    std::size_t total = 0;
    for (const ByteSpan piece : pieces) {
        total += piece.size();
    }
    return total;
}

std::optional<PacketStream> packetise(std::span<const std::uint8_t> stream, std::int32_t cpType,
                                      LogSink& log) {
    const std::size_t frame = frameBytesOf(cpType);
    const std::size_t payload = FRAMES_PER_PACKET * frame;
    const std::size_t full = stream.size() / payload;
    const std::size_t rem = stream.size() % payload;
    const std::size_t count = full + (rem > 0 ? 1 : 0);

    PacketStream packets;
    try {
        // Reserved up front: the pieces point into `headers`, which must not move.
        packets.headers.reserve(count);
        packets.pieces.reserve(2 * count);
    } catch (const std::bad_alloc& error) {
        log.write(error.what());
        return std::nullopt;
    }
    const auto addPacket = [&packets](std::uint8_t header, ByteSpan bytes) {
        packets.headers.push_back(header);
        packets.pieces.push_back(ByteSpan(&packets.headers.back(), 1));
        packets.pieces.push_back(bytes);
    };
    for (std::size_t i = 0; i < full; ++i) {
        addPacket(FULL_PACKET_HEADER, stream.subspan(i * payload, payload));
    }
    if (rem > 0) {
        const std::size_t frames = (rem + frame - 1) / frame;
        addPacket(static_cast<std::uint8_t>(frames - 1), stream.subspan(full * payload));
    }
    return packets;
}

}  // namespace quen
