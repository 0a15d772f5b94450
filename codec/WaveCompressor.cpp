// The block-by-block compression.
#include "codec/WaveCompressor.h"

#include <algorithm>

namespace quen {

WaveCompressor::WaveCompressor(Codec codec, LogSink& log)
    : encoder_(makeEncoder(codec, log)), out_(codecFacts(codec).codedBytes(INPUT_BLOCK_BYTES)) {}

std::span<const std::uint8_t> WaveCompressor::compress(std::span<const std::uint8_t> pcm) {
    const auto in = pcm.first(std::min(pcm.size(), INPUT_BLOCK_BYTES));
    return std::span(out_).first(encoder_->encode(in, out_));
}

bool WaveCompressor::finish() {
    return encoder_->finish();
}

}  // namespace quen
