// One recording's compression as it goes, block by block, whatever the codec.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "codec/Codec.h"
#include "codec/CodecFailure.h"
#include "platform/Result.h"

namespace quen {

class Encoder {
  public:
    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    virtual ~Encoder() = default;

    // Codes the whole units of `pcm` (little-endian 16-bit samples, any alignment) into
    // `out`, which has room for the codec's coded length of `pcm`; returns the bytes
    // written. The samples after the last whole unit are dropped.
    virtual std::size_t encode(std::span<const std::uint8_t> pcm, std::span<std::uint8_t> out) = 0;

    // Ends the stream: the codec's failures, in the order they happened, if it had any.
    virtual Result<void, CodecFailures> finish() = 0;
};

// A fresh stream of `codec`; a codec that cannot start codes nothing, and its finish()
// tells why.
std::unique_ptr<Encoder> makeEncoder(Codec codec);

}  // namespace quen
