// A data file's coded audio back to 16-bit samples, whatever the codec.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "codec/Codec.h"
#include "platform/Result.h"

namespace quen {

class Decoder {
  public:
    Decoder() = default;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    virtual ~Decoder() = default;

    // Appends the samples of the next whole units of `coded` to `samples`, carrying the
    // codec's state on; a part-unit at the end is not decoded.
    virtual void decode(std::span<const std::uint8_t> coded,
                        std::vector<std::int16_t>& samples) = 0;

    // Frames the codec refused so far; each stands as a frame of silence in the samples,
    // so the time line of the rest is kept.
    virtual std::size_t refusedFrames() const = 0;

    // The furthest the codec's output can reach either way.
    virtual std::int16_t lowest() const = 0;
    virtual std::int16_t highest() const = 0;
};

// A fresh decoder of `codec`; a failure when the codec cannot be opened.
Result<std::unique_ptr<Decoder>> makeDecoder(Codec codec);

}  // namespace quen
