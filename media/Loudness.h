// Loudness of a mono recording as a listener perceives it: integrated loudness after
// ITU-R BS.1770 K-weighting and EBU R 128 gating, measured by libebur128.
#pragma once

#include <memory>
#include <optional>
#include <span>

namespace quen {

struct Loudness {
    // LUFS; empty when everything lies below the absolute gate (silence).
    std::optional<double> integratedLufs;
};

// Streams over blocks.
class LoudnessMeter {
  public:
    explicit LoudnessMeter(int sampleRate);

    void add(std::span<const float> samples);
    Loudness result() const;

  private:
    // libebur128's state, kept opaque so that its header stays out of this one.
    std::unique_ptr<void, void (*)(void*)> state_;
    bool added_ = true;
};

}  // namespace quen
