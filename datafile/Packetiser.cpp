// Packet geometry by codec and the copy into packets.
#include "datafile/Packetiser.h"

#include <algorithm>
#include <new>

#include "app/ErrorLog.h"
#include "audio/CodecCodes.h"

namespace quen {
namespace {

constexpr std::size_t FRAMES_PER_PACKET = 128;
constexpr std::uint8_t FULL_PACKET_HEADER = FRAMES_PER_PACKET - 1;
constexpr std::size_t G711_FRAME_BYTES = 80;

}  // namespace

std::optional<std::vector<std::uint8_t>> packetise(std::span<const std::uint8_t> stream,
                                                   std::int32_t cpType) {
    const std::size_t frame = cpType == CP_TYPE_G723 ? G723_FRAME_BYTES : G711_FRAME_BYTES;
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
