// Counts each full-scale sample at once; follows the run in progress and counts it once it
// ends, if it was long enough.
#include "dsp/ClippingRuns.h"

namespace quen {

ClippingRunCounter::ClippingRunCounter(double lowest, double highest)
    : lowest_(lowest), highest_(highest) {}

ClippingRunCounter ClippingRunCounter::forFloat() {
    return {-1.0, 1.0};
}

void ClippingRunCounter::add(std::span<const std::int16_t> samples) {
    for (const std::int16_t sample : samples) {
        addSample(sample);
    }
}

void ClippingRunCounter::add(std::span<const float> samples) {
    for (const float sample : samples) {
        addSample(sample);
    }
}

void ClippingRunCounter::addSample(double sample) {
    int side = 0;
    if (sample >= highest_) {
        side = 1;
    } else if (sample <= lowest_) {
        side = -1;
    }
    if (side != runSide_) {
        closeRun();
        runSide_ = side;
    }
    if (side != 0) {
        ++runLength_;
        ++closed_.fullScaleSamples;
    }
}

void ClippingRunCounter::closeRun() {
    if (runLength_ >= CLIPPING_RUN_MIN_SAMPLES) {
        ++closed_.runs;
        closed_.samples += runLength_;
    }
    runLength_ = 0;
}

ClippingRuns ClippingRunCounter::result() const {
    ClippingRunCounter copy = *this;
    copy.closeRun();
    return copy.closed_;
}

}  // namespace quen
