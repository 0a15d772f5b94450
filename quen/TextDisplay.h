// Header texts for people and for JSON: UTF-16 to UTF-8, with whatever cannot be
// encoded shown as an escape instead of being dropped or crashing the output.
#pragma once

#include <string>
#include <string_view>

namespace quen::tool {

// Lone or cut surrogates become "\uD8xx" and control characters "\u00xx".
std::string displayText(std::u16string_view text);

// True when `text` holds a surrogate that is not part of a pair.
bool hasLoneSurrogate(std::u16string_view text);

}  // namespace quen::tool
