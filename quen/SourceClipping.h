// Clipping as a refused WAV file stores it. Decoding to 8 kHz rounds flat tops off, so a
// recording clipped at 44.1 kHz would show few runs after it; 8- and 16-bit PCM is
// counted on its own samples instead, channel by channel.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "audio/ClippingRuns.h"
#include "audio/RiffLayout.h"

namespace quen::tool {

// The runs of every channel together; empty for any other encoding or a file whose
// data chunk is not listed.
std::optional<ClippingRuns> pcmSourceClipping(const RiffLayout& layout,
                                              std::span<const std::uint8_t> file);

}  // namespace quen::tool
