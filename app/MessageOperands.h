// How the message job's operands become numbers and flags: lenient decimal times,
// yes/no words and the format code.
#pragma once

#include <cstdint>
#include <string_view>

namespace quen {

// Leading white space, an optional sign, then decimal digits up to the first other
// character; no digits give 0 and values beyond 32 bits are clamped. Never fails.
std::int32_t parseTime(std::u16string_view text);

// "Y" or "TRUE", ignoring the case of A to Z only; everything else is no.
bool isYes(std::u16string_view text);

// The message format code of G.723.1 for "G723", mu-law for "ULAW" or "U-LAW", A-law
// otherwise (case of A to Z ignored), old or new.
std::int32_t formatCodeFor(std::u16string_view format, bool newMessage);

}  // namespace quen
