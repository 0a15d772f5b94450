// G.711 expansion: each A-law or mu-law code byte back to a 16-bit sample, the
// standard decoder's value in the middle of the code's quantisation step.
#pragma once

#include <cstdint>
#include <memory>

#include "codec/Decoder.h"

namespace quen {

// One sample per code byte; G.711 refuses no code.
std::unique_ptr<Decoder> makeALawDecoder();
std::unique_ptr<Decoder> makeMuLawDecoder();

}  // namespace quen
