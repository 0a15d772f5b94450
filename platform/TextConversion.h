// Conversion between the program's wide text (UTF-16) and the 8-bit text of the
// operating system (UTF-8). Bytes that are not valid UTF-8 travel as the lone
// surrogates U+DC80..U+DCFF, so any file name or argument survives the round trip.
#pragma once

#include <string>
#include <string_view>

namespace quen {

// Decodes UTF-8; each byte outside a valid sequence becomes U+DC80 + byte.
std::u16string toWide(std::string_view bytes);

// Encodes UTF-8; an escaped byte (lone U+DC80..U+DCFF) becomes that byte again and any
// other lone surrogate becomes '?'.
std::string toNarrow(std::u16string_view text);

}  // namespace quen
