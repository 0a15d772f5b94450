// What the bytes alone tell is wrong with a frame of coded audio found in a data file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "codec/Codec.h"

namespace quen {

// The fault of one frame of `codec` (its codec's frame size, or fewer bytes at the end
// of the stream): a part of a unit the codec codes whole, or a frame this system never
// writes. Empty when there is none.
std::string frameFault(Codec codec, std::span<const std::uint8_t> frame);

}  // namespace quen
