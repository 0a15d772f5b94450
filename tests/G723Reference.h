// libavcodec's own G.723.1 encoder and decoder, called directly, as the reference the
// program's frames are compared with; and a speech-like test signal.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tests/TestSupport.h"

namespace quen::test {

// `count` samples of a synthetic voiced vowel: a glottal pulse train whose pitch glides
// between 100 and 140 Hz, shaped by three formant resonators and a syllable-rate
// envelope, peaking at 12000. Deterministic.
std::vector<std::int16_t> speechLikeSignal(std::size_t count);

// The frames libavcodec's g723_1 encoder at 6300 bit/s makes of the whole 240-sample
// blocks of `samples`, in one encoder state; a last partial block is dropped.
Bytes referenceFrames(const std::vector<std::int16_t>& samples);

// The samples libavcodec's G.723.1 decoder makes of consecutive 24-byte frames.
std::vector<std::int16_t> decodeFrames(std::span<const std::uint8_t> frames);

// How well `decoded` reproduces `input`: the delay of `decoded` (0 to 240 samples) that
// correlates best, and at that delay the normalised correlation and the signal-to-noise
// ratio in dB, both over the samples after `settle` input samples.
struct Reproduction {
    std::size_t delay = 0;
    double correlation = 0;
    double snrDb = 0;
};
Reproduction compareDecoded(const std::vector<std::int16_t>& input,
                            const std::vector<std::int16_t>& decoded, std::size_t settle);

}  // namespace quen::test
