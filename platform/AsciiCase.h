// Comparison of operands and format words, which ignores the case of the ASCII
// letters A to Z and of nothing else.
#pragma once

#include <string_view>

namespace quen {

bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace quen
