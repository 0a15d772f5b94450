// Codec choice and the block-by-block compression.
#include "codec/WaveCompressor.h"

#include "codec/G711Encoder.h"
#include "codec/G723AcmEncoder.h"

namespace quen {

WaveCompressor::WaveCompressor(std::int32_t cpType, LogSink& log)
    : cpType_(cpType), out_(INPUT_BLOCK_BYTES / 2) {
    if (cpType == CP_TYPE_G723) {
        g723_ = std::make_unique<G723AcmEncoder>(log);
        g723_->open();
    }
}

WaveCompressor::~WaveCompressor() = default;

std::span<const std::uint8_t> WaveCompressor::compress(std::span<const std::uint8_t> pcm) {
    const auto in = pcm.first(std::min(pcm.size(), INPUT_BLOCK_BYTES));
    if (g723_) {
        const auto blocks = static_cast<std::uint32_t>(in.size() / G723_BLOCK_BYTES);
        return std::span(out_).first(g723_->encodeBlocks(in.data(), blocks, out_.data()));
    }
    return std::span(out_).first(
        static_cast<std::size_t>(G711Encoder().encodeBuffer(in, out_, cpType_)));
}

bool WaveCompressor::finish() {
    return !g723_ || g723_->finish();
}

}  // namespace quen
