// A view of bytes to write, shared by the file writers and whatever hands them pieces.
#pragma once

#include <cstdint>
#include <span>

namespace quen {

using ByteSpan = std::span<const std::uint8_t>;

}  // namespace quen
