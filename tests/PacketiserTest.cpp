// The packet stream: header bytes, payload sizes and order, at the boundaries of a
// frame and of a full packet, for both geometries.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "datafile/Packetiser.h"
#include "tests/TestSupport.h"

namespace quen::test {
namespace {

TEST(PacketiserTest, HeadersAndPayloads) {
    using Packets = std::vector<std::pair<std::uint8_t, std::ptrdiff_t>>;  // header, payload
    const std::tuple<const char*, std::int32_t, std::size_t, Packets> cases[] = {
        {"empty", 137, 0, {}},
        {"one second of A-law", 137, 8000, {{99, 8000}}},
        {"one byte", 137, 1, {{0, 1}}},
        {"one G.711 frame", 138, 80, {{0, 80}}},
        {"a frame and a byte", 138, 81, {{1, 81}}},
        {"one full G.711 packet", 137, 10240, {{127, 10240}}},
        {"mu-law 10330", 138, 10330, {{127, 10240}, {1, 90}}},
        {"one byte short of two packets", 137, 20479, {{127, 10240}, {127, 10239}}},
        {"any other code is G.711", 0, 10330, {{127, 10240}, {1, 90}}},
        {"166 G.723.1 frames", 139, 3984, {{127, 3072}, {37, 912}}},
        {"one full G.723.1 packet", 139, 3072, {{127, 3072}}},
    };
    for (const auto& [name, cpType, length, packets] : cases) {
        SCOPED_TRACE(name);
        // A stream that counts up, so that any misplaced byte shows.
        Bytes stream(length);
        for (std::size_t i = 0; i < length; ++i) {
            stream[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        }
        Bytes expected;
        auto next = stream.begin();
        for (const auto& [header, payload] : packets) {
            expected.push_back(header);
            expected.insert(expected.end(), next, next + payload);
            next += payload;
        }
        LogBuffer log;
        const auto written = packetise(stream, cpType, log);
        ASSERT_TRUE(written);
        Bytes bytes;
        for (const auto piece : written->pieces) {
            bytes.insert(bytes.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(bytes, expected);
        EXPECT_EQ(written->size(), expected.size());
    }
}

}  // namespace
}  // namespace quen::test
