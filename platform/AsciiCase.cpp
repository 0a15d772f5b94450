// ASCII-only case folding.
#include "platform/AsciiCase.h"

#include <algorithm>

namespace quen {
namespace {

char16_t foldAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c;
}

}  // namespace

bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return foldAscii(x) == foldAscii(y); });
}

}  // namespace quen
