// Packet geometry by codec and the copy into packets.
#include "datafile/Packetiser.h"

#include <algorithm>
#include <new>

#include "app/ErrorLog.h"
#include "datafile/DataFileLayout.h"

namespace quen {

std::optional<std::vector<std::uint8_t>> packetise(std::span<const std::uint8_t> stream,
                                                   std::int32_t cpType) {
    const std::size_t frame = frameBytesOf(cpType);
    const std::size_t payload = FRAMES_PER_PACKET * frame;
    const std::size_t full = stream.size() / payload;
    const std::size_t rem = stream.size() % payload;

    std::vector<std::uint8_t> packets;
    try {
        packets.reserve(full + stream.size() + (rem > 0 ? 1 : 0));
    } catch (const std::bad_alloc& error) {
        ErrorLog::instance().write(error.what());
        return std::nullopt;
    }
    auto next = stream.begin();
    for (std::size_t i = 0; i < full; ++i) {
        packets.push_back(FULL_PACKET_HEADER);
        packets.insert(packets.end(), next, next + payload);
        next += payload;
    }
    if (rem > 0) {
        const std::size_t frames = (rem + frame - 1) / frame;
        packets.push_back(static_cast<std::uint8_t>(frames - 1));
        packets.insert(packets.end(), next, stream.end());
    }
    return packets;
}

}  // namespace quen
