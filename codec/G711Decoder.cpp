// Both expansion tables are computed at compile time from the segment layout; a code
// costs one table read.
#include "codec/G711Decoder.h"

#include <algorithm>
#include <array>

namespace quen {
namespace {

constexpr std::int16_t expandALaw(std::uint8_t code) {
    const int bits = code ^ 0x55;  // even bits are sent inverted
    const int segment = (bits >> 4) & 0x07;
    int magnitude = (bits & 0x0F) << 4;
    magnitude += segment == 0 ? 8 : 0x108;
    if (segment > 1) {
        magnitude <<= segment - 1;
    }
    return static_cast<std::int16_t>((bits & 0x80) != 0 ? magnitude : -magnitude);
}

constexpr std::int16_t expandMuLaw(std::uint8_t code) {
    const int bits = ~code & 0xFF;  // all bits are sent inverted
    constexpr int BIAS = 0x84;
    const int magnitude = (((bits & 0x0F) << 3) + BIAS) << ((bits >> 4) & 0x07);
    return static_cast<std::int16_t>((bits & 0x80) != 0 ? BIAS - magnitude : magnitude - BIAS);
}

template <std::int16_t (*expand)(std::uint8_t)>
constexpr std::array<std::int16_t, 256> expansionTable() {
    std::array<std::int16_t, 256> table{};
    for (int code = 0; code < 256; ++code) {
        table[code] = expand(static_cast<std::uint8_t>(code));
    }
    return table;
}

constexpr auto A_LAW_SAMPLES = expansionTable<expandALaw>();
constexpr auto MU_LAW_SAMPLES = expansionTable<expandMuLaw>();

class G711Decoder final : public Decoder {
  public:
    explicit G711Decoder(const std::array<std::int16_t, 256>& table) : table_(table) {}

    void decode(std::span<const std::uint8_t> coded, std::vector<std::int16_t>& samples) override {
        // Grown by resize, which keeps the growth geometric over many calls.
        const std::size_t at = samples.size();
        samples.resize(at + coded.size());
        std::transform(coded.begin(), coded.end(),
                       samples.begin() + static_cast<std::ptrdiff_t>(at),
                       [this](std::uint8_t code) { return table_[code]; });
    }

    std::size_t refusedFrames() const override { return 0; }
    // G.711 never reaches the ends of the 16-bit range.
    std::int16_t lowest() const override { return *std::min_element(table_.begin(), table_.end()); }
    std::int16_t highest() const override {
        return *std::max_element(table_.begin(), table_.end());
    }

  private:
    const std::array<std::int16_t, 256>& table_;
};

}  // namespace

std::unique_ptr<Decoder> makeALawDecoder() {
    return std::make_unique<G711Decoder>(A_LAW_SAMPLES);
}

std::unique_ptr<Decoder> makeMuLawDecoder() {
    return std::make_unique<G711Decoder>(MU_LAW_SAMPLES);
}

}  // namespace quen
