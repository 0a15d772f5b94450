// The packet stream: header bytes, payload sizes and order, at the boundaries of a
// frame and of a full packet, for both geometries.
#include <gtest/gtest.h>

#include <numeric>

#include "datafile/Packetiser.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

// A stream of `length` bytes that counts up, so that any misplaced byte shows.
Bytes countingStream(std::size_t length) {
    Bytes stream(length);
    for (std::size_t i = 0; i < length; ++i) {
        stream[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    return stream;
}

struct Packet {
    std::uint8_t header;
    std::size_t payload;
};

// Splits a packet stream by its full-packet payload size and checks that the payloads
// put together are `stream`.
std::vector<Packet> splitPackets(const Bytes& packets, const Bytes& stream, std::size_t full) {
    std::vector<Packet> result;
    Bytes payloads;
    std::size_t pos = 0;
    while (pos < packets.size()) {
        const std::uint8_t header = packets[pos++];
        const std::size_t size = std::min(full, packets.size() - pos);
        payloads.insert(payloads.end(), packets.begin() + static_cast<std::ptrdiff_t>(pos),
                        packets.begin() + static_cast<std::ptrdiff_t>(pos + size));
        result.push_back({header, size});
        pos += size;
    }
    EXPECT_EQ(payloads, stream) << "payload bytes differ from the stream";
    return result;
}

struct PacketCase {
    const char* name;
    std::int32_t cpType;
    std::size_t streamLength;
    std::vector<Packet> packets;
};

TEST(PacketiserTest, HeadersAndPayloads) {
    const PacketCase cases[] = {
        {"empty", 137, 0, {}},
        {"one second of A-law", 137, 8000, {{99, 8000}}},
        {"one byte", 137, 1, {{0, 1}}},
        {"one G.711 frame", 138, 80, {{0, 80}}},
        {"a frame and a byte", 138, 81, {{1, 81}}},
        {"two frames", 138, 160, {{1, 160}}},
        {"two frames and a byte", 138, 161, {{2, 161}}},
        {"one full G.711 packet", 137, 10240, {{127, 10240}}},
        {"a full packet and a frame", 137, 10240 + 80, {{127, 10240}, {0, 80}}},
        {"mu-law 10330", 138, 10330, {{127, 10240}, {1, 90}}},
        {"one byte short of two packets", 137, 20479, {{127, 10240}, {127, 10239}}},
        {"three full packets", 137, 30720, {{127, 10240}, {127, 10240}, {127, 10240}}},
        {"any other code is G.711", 0, 10330, {{127, 10240}, {1, 90}}},
        {"one G.723.1 frame", 139, 24, {{0, 24}}},
        {"166 G.723.1 frames", 139, 3984, {{127, 3072}, {37, 912}}},
        {"one full G.723.1 packet", 139, 3072, {{127, 3072}}},
        {"a full G.723.1 packet and a frame", 139, 3096, {{127, 3072}, {0, 24}}},
    };
    for (const PacketCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes stream = countingStream(c.streamLength);
        const auto packets = packetise(stream, c.cpType);
        ASSERT_TRUE(packets.has_value());
        std::size_t expectedLength = 0;
        for (const Packet& packet : c.packets) {
            expectedLength += 1 + packet.payload;
        }
        EXPECT_EQ(packets->size(), expectedLength);
        const std::size_t full = c.cpType == 139 ? 3072 : 10240;
        const std::vector<Packet> got = splitPackets(*packets, stream, full);
        ASSERT_EQ(got.size(), c.packets.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].header, c.packets[i].header) << "packet " << i;
            EXPECT_EQ(got[i].payload, c.packets[i].payload) << "packet " << i;
        }
    }
}

}  // namespace
}  // namespace quen::test
