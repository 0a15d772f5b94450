// Loudness of a mono recording as a listener perceives it: integrated loudness after
// ITU-R BS.1770 K-weighting and EBU R 128 gating, measured by libebur128.
#pragma once

#include <optional>

#include "media/SampleBlocks.h"

namespace quen {

struct Loudness {
    // LUFS; empty when everything lies below the absolute gate (silence).
    std::optional<double> integratedLufs;
    double samplePeak = 0.0;  // largest magnitude, full scale 1.0
};

Loudness measureLoudness(const SampleBlocks& samples, int sampleRate);

}  // namespace quen
