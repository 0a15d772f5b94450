// libebur128 in integrated mode with sample peak; the state lives only for one call.
#include "media/Loudness.h"

#include <ebur128.h>

#include <cmath>
#include <memory>
#include <new>

namespace quen {
namespace {

struct StateDestroyer {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

}  // namespace

Loudness measureLoudness(const SampleBlocks& samples, int sampleRate) {
    std::unique_ptr<ebur128_state, StateDestroyer> state(ebur128_init(
        1, static_cast<unsigned long>(sampleRate), EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK));
    if (!state) {
        throw std::bad_alloc();
    }
    Loudness result;
    double lufs = -HUGE_VAL;
    bool added = true;
    samples.forEach([&](std::span<const float> block) {
        added = added && ebur128_add_frames_float(state.get(), block.data(), block.size()) ==
                             EBUR128_SUCCESS;
    });
    if (added && ebur128_loudness_global(state.get(), &lufs) == EBUR128_SUCCESS &&
        std::isfinite(lufs)) {
        result.integratedLufs = lufs;
    }
    ebur128_sample_peak(state.get(), 0, &result.samplePeak);
    return result;
}

}  // namespace quen
