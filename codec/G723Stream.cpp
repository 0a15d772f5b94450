// The G.723.1 encoding loop over the codec module, and the failures the codec can have.
#include "codec/G723Stream.h"

#include "codec/G723Frames.h"

namespace quen {
namespace {

// The error codes of the failures: the module cannot give a G.723.1 encoder ("not
// possible"), and the codec failed on a block.
constexpr std::int64_t NOT_POSSIBLE = 512;
constexpr std::int64_t CODEC_ERROR = 1;

constexpr std::size_t BLOCK_BYTES = QUEN_G723_BLOCK_BYTES;

}  // namespace

G723Stream::G723Stream(const Result<const QuenG723Module*>& module) {
    if (module) {
        encoder_ = EncoderState((*module)->createEncoder(), (*module)->destroyEncoder);
    }
    if (encoder_ == nullptr) {
        failures_.push_back({CodecFailure::Kind::NotOpened, NOT_POSSIBLE});
        return;
    }
    module_ = *module;
}

std::size_t G723Stream::encode(std::span<const std::uint8_t> pcm, std::span<std::uint8_t> out) {
    std::size_t total = 0;
    for (std::size_t at = 0; encoder_ != nullptr && pcm.size() - at >= BLOCK_BYTES;
         at += BLOCK_BYTES) {
        std::uint8_t* frame = out.data() + total;
        if (module_->encode(encoder_.get(), pcm.data() + at, frame) != 0) {
            failures_.push_back({CodecFailure::Kind::BlockRefused, CODEC_ERROR});
            encoder_.reset();
            break;
        }
        // The size the codec reports is not consulted: the kind tells it.
        const std::uint8_t rate = g723RateBits(frame[0]);
        silenceFrames_ += rate == G723_SILENCE ? 1 : 0;
        lowRateFrames_ += rate == G723_LOW_RATE ? 1 : 0;
        total += g723FrameBytes(frame[0]);
    }
    return total;
}

Result<void, CodecFailures> G723Stream::finish() {
    // Only one kind is told, silence first.
    if (silenceFrames_ != 0) {
        failures_.push_back({CodecFailure::Kind::SilenceFrames, silenceFrames_});
    } else if (lowRateFrames_ != 0) {
        failures_.push_back({CodecFailure::Kind::LowRateFrames, lowRateFrames_});
    }
    encoder_.reset();
    if (failures_.empty()) {
        return {};
    }
    return failures_;
}

}  // namespace quen
