// libebur128 in integrated mode; the state lives as long as the meter.
#include "media/Loudness.h"

#include <ebur128.h>

#include <cmath>
#include <new>

namespace quen {

namespace {

void destroyState(void* state) {
    auto* typed = static_cast<ebur128_state*>(state);
    ebur128_destroy(&typed);
}

ebur128_state* stateOf(const std::unique_ptr<void, void (*)(void*)>& state) {
    return static_cast<ebur128_state*>(state.get());
}

}  // namespace

LoudnessMeter::LoudnessMeter(int sampleRate)
    : state_(ebur128_init(1, static_cast<unsigned long>(sampleRate), EBUR128_MODE_I),
             destroyState) {
    if (!state_) {
        throw std::bad_alloc();
    }
}

void LoudnessMeter::add(std::span<const float> samples) {
    added_ = added_ && ebur128_add_frames_float(stateOf(state_), samples.data(), samples.size()) ==
                           EBUR128_SUCCESS;
}

Loudness LoudnessMeter::result() const {
    Loudness result;
    double lufs = -HUGE_VAL;
    if (added_ && ebur128_loudness_global(stateOf(state_), &lufs) == EBUR128_SUCCESS &&
        std::isfinite(lufs)) {
        result.integratedLufs = lufs;
    }
    return result;
}

}  // namespace quen
