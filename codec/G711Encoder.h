// G.711 mu-law and A-law encoding, one code byte per 16-bit sample, with the
// quantisation this system has always used (segment 0 rounds down, unlike the
// textbook coder).
#pragma once

#include <cstdint>
#include <memory>

#include "codec/Encoder.h"

namespace quen {

// Streams of one code byte per sample; an odd last byte is not a sample.
std::unique_ptr<Encoder> makeALawEncoder();
std::unique_ptr<Encoder> makeMuLawEncoder();

}  // namespace quen
