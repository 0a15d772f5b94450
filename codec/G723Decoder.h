// G.723.1 decoding through the codec module: 24-byte frames in, 240 samples of 16-bit
// PCM per frame out.
#pragma once

#include <memory>

#include "codec/Decoder.h"
#include "codec/g723module/G723ModuleAbi.h"

namespace quen {

// A decoder of the loaded `module`, which must outlive the decoder; a failure when the
// module did not load (its reason) or its decoder cannot be opened.
Result<std::unique_ptr<Decoder>> makeG723Decoder(const Result<const QuenG723Module*>& module);

}  // namespace quen
