// Four-times oversampling by a windowed-sinc polyphase interpolator: the values between
// samples that a converter's output passes through, where a waveform can rise above every
// sample. Gives, per sample, the peak of the stretch that follows it; streams over blocks,
// its memory the filter's history and one block's work.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace quen {

class Oversampler4x {
  public:
    static constexpr std::size_t FACTOR = 4;
    static constexpr std::size_t TAPS_PER_PHASE = 32;
    // How many input samples the peaks lag behind the input.
    static constexpr std::size_t DELAY = TAPS_PER_PHASE / 2;

    Oversampler4x();

    // For each sample of `input`, writes to `peaks` (as long) the largest magnitude among
    // four points: the sample DELAY back, and the points a quarter, a half and three
    // quarters of the way from it to the next.
    void segmentPeaks(std::span<const float> input, std::span<float> peaks);

  private:
    void segmentPeaksOfBlock(std::span<const float> input, std::span<float> peaks);

    // The last TAPS_PER_PHASE - 1 samples, then the block at hand.
    std::vector<float> buffer_;
};

}  // namespace quen
