// One decoder state per data file, one call per frame: a frame the codec refuses is
// counted and stands as 30 ms of silence, so the frames behind it keep their time.
#include "codec/G723Decoder.h"

#include <climits>

namespace quen {
namespace {

constexpr std::size_t FRAME_SAMPLES = QUEN_G723_BLOCK_BYTES / SPEECH_SAMPLE_BYTES;

class G723Decoder final : public Decoder {
  public:
    using DecoderState = std::unique_ptr<QuenG723Decoder, void (*)(QuenG723Decoder*)>;

    G723Decoder(const QuenG723Module& module, DecoderState decoder)
        : module_(module), decoder_(std::move(decoder)) {}

    void decode(std::span<const std::uint8_t> coded, std::vector<std::int16_t>& samples) override {
        const std::size_t frames = coded.size() / QUEN_G723_FRAME_BYTES;
        // No reserve of just this call's frames: over many calls it would copy all the
        // samples each time; resize grows the vector geometrically.
        for (std::size_t i = 0; i < frames; ++i) {
            const std::size_t at = samples.size();
            samples.resize(at + FRAME_SAMPLES);
            if (module_.decode(decoder_.get(), coded.data() + i * QUEN_G723_FRAME_BYTES,
                               samples.data() + at) != 0) {
                ++refusedFrames_;
            }
        }
    }

    std::size_t refusedFrames() const override { return refusedFrames_; }
    std::int16_t lowest() const override { return INT16_MIN; }
    std::int16_t highest() const override { return INT16_MAX; }

  private:
    const QuenG723Module& module_;
    DecoderState decoder_;
    std::size_t refusedFrames_ = 0;
};

}  // namespace

Result<std::unique_ptr<Decoder>> makeG723Decoder(const Result<const QuenG723Module*>& module) {
    if (!module) {
        return module.failure();
    }
    const QuenG723Module& loaded = **module;
    G723Decoder::DecoderState decoder(loaded.createDecoder(), loaded.destroyDecoder);
    if (decoder == nullptr) {
        return Failure{FailureCategory::Generic, "the G.723.1 decoder could not be opened"};
    }
    return std::unique_ptr<Decoder>(std::make_unique<G723Decoder>(loaded, std::move(decoder)));
}

}  // namespace quen
