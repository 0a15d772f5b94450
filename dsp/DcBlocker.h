// DC removal: a first-order high-pass a few hertz up, far below any speech, so an
// offset from a recorder's converter neither counts as signal nor eats headroom.
// Streams in place over blocks; its state is one sample in and one out.
#pragma once

#include <span>

namespace quen {

constexpr double DC_BLOCKER_CUTOFF_HZ = 15.0;

class DcBlocker {
  public:
    explicit DcBlocker(double sampleRate, double cutoffHz = DC_BLOCKER_CUTOFF_HZ);

    void process(std::span<float> samples);

  private:
    double pole_;
    // Scales the pass band to unity at the Nyquist frequency.
    double gain_;
    // Set from the first sample: an offset present from the start is then removed from
    // the start, instead of decaying away as a step would.
    bool primed_ = false;
    double previousInput_ = 0.0;
    double previousOutput_ = 0.0;
};

}  // namespace quen
