// Conversion between the program's wide text (UTF-16) and the 8-bit text of the
// operating system (UTF-8). Bytes that are not valid UTF-8 travel as the lone
// surrogates U+DC80..U+DCFF, so any file name or argument survives the round trip.
#pragma once

#include <string>
#include <string_view>

namespace quen {

constexpr bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// True when code units `i` and `i + 1` of `text` form one character.
constexpr bool isSurrogatePairAt(std::u16string_view text, std::size_t i) {
    return i + 1 < text.size() && isHighSurrogate(text[i]) && isLowSurrogate(text[i + 1]);
}

constexpr char32_t combineSurrogates(char16_t high, char16_t low) {
    return 0x10000 + ((char32_t{high} - 0xD800) << 10) + (char32_t{low} - 0xDC00);
}

// Decodes UTF-8; each byte outside a valid sequence becomes U+DC80 + byte.
std::u16string toWide(std::string_view bytes);

// Encodes UTF-8; an escaped byte (lone U+DC80..U+DCFF) becomes that byte again and any
// other lone surrogate becomes '?'.
std::string toNarrow(std::u16string_view text);

// Appends the UTF-8 bytes of `codePoint`, which must be a scalar value.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace quen
