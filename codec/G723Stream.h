// G.723.1 at 6.3 kbit/s through the codec module: one encoder state per recording, one
// 480-byte block in and one 24-byte frame out per call, and the frame-kind checks that
// turn silence-description and 5.3 kbit/s frames into a failure.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "codec/Encoder.h"
#include "codec/g723module/G723ModuleAbi.h"
#include "platform/Result.h"

namespace quen {

class G723Stream final : public Encoder {
  public:
    // Opens an encoder state of the loaded `module`, which must outlive the stream. A
    // module that did not load, or an encoder state it refuses, is the stream's first
    // failure, and nothing is encoded.
    explicit G723Stream(const Result<const QuenG723Module*>& module);

    // Encodes the whole blocks of `pcm`, one frame each, the frames' sizes told by the
    // kind in the low bits of their first bytes. After a block the codec refused
    // (recorded) nothing more is encoded, in this call or later ones.
    std::size_t encode(std::span<const std::uint8_t> pcm, std::span<std::uint8_t> out) override;

    // Adds the silence-description or 5.3 kbit/s frames counted, if any, to the
    // failures, and closes the encoder state.
    Result<void, CodecFailures> finish() override;

  private:
    using EncoderState = std::unique_ptr<QuenG723Encoder, void (*)(QuenG723Encoder*)>;

    const QuenG723Module* module_ = nullptr;  // set once the encoder state is open
    EncoderState encoder_{nullptr, nullptr};  // null once closed or refused
    CodecFailures failures_;
    std::int64_t silenceFrames_ = 0;
    std::int64_t lowRateFrames_ = 0;
};

}  // namespace quen
