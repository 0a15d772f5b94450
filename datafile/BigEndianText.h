// Header text as it stands in a data file: UTF-16 code units, high byte first, with
// no byte-order mark and no terminator.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quen {

// Two bytes per code unit; surrogate pairs pass through as two code units.
std::vector<std::uint8_t> toUtf16BigEndian(std::u16string_view text);

}  // namespace quen
