// The block-by-block compression.
#include "codec/WaveCompressor.h"

#include <algorithm>

namespace quen {

WaveCompressor::WaveCompressor(Codec codec)
    : encoder_(makeEncoder(codec)), out_(codecFacts(codec).codedBytes(INPUT_BLOCK_BYTES)) {}

std::span<const std::uint8_t> WaveCompressor::compress(std::span<const std::uint8_t> pcm) {
    const auto in = pcm.first(std::min(pcm.size(), INPUT_BLOCK_BYTES));
    return std::span(out_).first(encoder_->encode(in, out_));
}

Result<void, CodecFailures> WaveCompressor::finish() {
    return encoder_->finish();
}

}  // namespace quen
