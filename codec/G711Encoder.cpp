// G.711 through one table per law of the code of every 16-bit sample, computed at
// compile time from the segment bounds. A sample costs one table read and no branch.
#include "codec/G711Encoder.h"

#include <algorithm>
#include <array>

#include "platform/ByteOrder.h"

namespace quen {
namespace {

// The first quantised magnitude of each segment and the step width as a shift.
struct Segments {
    std::array<int, 8> base;
    std::array<int, 8> shift;
};

constexpr Segments MU_LAW_SEGMENTS{{0, 31, 95, 223, 479, 991, 2015, 4063},
                                   {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr Segments A_LAW_SEGMENTS{{0, 32, 64, 128, 256, 512, 1024, 2048}, {1, 1, 2, 3, 4, 5, 6, 7}};

// Segment and step of every quantised magnitude 0 .. size-1, before the sign and the
// law's inversion.
template <std::size_t size>
constexpr std::array<std::uint8_t, size> quantisedMagnitudes(const Segments& segments) {
    std::array<std::uint8_t, size> codes{};
    for (int segment = 0; segment < 8; ++segment) {
        const int first = segments.base[segment];
        const int last = segment < 7 ? segments.base[segment + 1] : static_cast<int>(size);
        for (int v = first; v < last; ++v) {
            // Only mu-law's top segment reaches beyond step 15.
            const int step = std::min(15, (v - first) >> segments.shift[segment]);
            codes[v] = static_cast<std::uint8_t>(segment << 4 | step);
        }
    }
    return codes;
}

// Positive samples: mu-law complements all bits, the sign bit 0 becoming 1.
constexpr std::uint8_t muLawPositive(std::uint8_t magnitudeCode) {
    return static_cast<std::uint8_t>(~magnitudeCode);
}

// Positive samples: A-law sets the sign bit and inverts the even bits.
constexpr std::uint8_t aLawPositive(std::uint8_t magnitudeCode) {
    return static_cast<std::uint8_t>((0x80 | magnitudeCode) ^ 0x55);
}

// The code of every 16-bit sample, indexed by its bit pattern. The magnitude is taken
// before quantising (-32768 as 32767), so a negative sample gets its positive
// counterpart's code with the sign bit cleared; neither law's inversion touches that
// bit.
template <std::size_t magnitudes>
constexpr std::array<std::uint8_t, 65536> sampleCodes(const Segments& segments, int magnitudeShift,
                                                      std::uint8_t (*positive)(std::uint8_t)) {
    const auto magnitudeCodes = quantisedMagnitudes<magnitudes>(segments);
    std::array<std::uint8_t, 65536> codes{};
    for (int sample = -32768; sample <= 32767; ++sample) {
        const int magnitude = std::min(sample < 0 ? -sample : sample, 32767);
        const std::uint8_t code = positive(magnitudeCodes[magnitude >> magnitudeShift]);
        codes[static_cast<std::uint16_t>(sample)] =
            sample < 0 ? static_cast<std::uint8_t>(code & 0x7F) : code;
    }
    return codes;
}

constexpr auto MU_LAW_CODES = sampleCodes<8192>(MU_LAW_SEGMENTS, 2, muLawPositive);
constexpr auto A_LAW_CODES = sampleCodes<4096>(A_LAW_SEGMENTS, 3, aLawPositive);

// One table read per sample, straight from the little-endian bytes.
class G711Encoder final : public Encoder {
  public:
    explicit G711Encoder(const std::array<std::uint8_t, 65536>& codes) : codes_(codes) {}

    std::size_t encode(std::span<const std::uint8_t> pcm, std::span<std::uint8_t> out) override {
        const std::size_t count = pcm.size() / 2;
        // A local copy, which a code byte written cannot be taken to change.
        const std::array<std::uint8_t, 65536>& codes = codes_;
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = codes[getLittleEndian16(pcm.subspan(2 * i))];
        }
        return count;
    }

    Result<void, CodecFailures> finish() override { return {}; }

  private:
    const std::array<std::uint8_t, 65536>& codes_;
};

}  // namespace

std::unique_ptr<Encoder> makeALawEncoder() {
    return std::make_unique<G711Encoder>(A_LAW_CODES);
}

std::unique_ptr<Encoder> makeMuLawEncoder() {
    return std::make_unique<G711Encoder>(MU_LAW_CODES);
}

}  // namespace quen
