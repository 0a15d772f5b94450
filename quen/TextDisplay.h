// Texts for people and for JSON: a data file's UTF-16 header texts in UTF-8, with
// whatever cannot be encoded shown as an escape instead of being dropped or crashing
// the output; and file and recording names in text output, with whatever could steer
// a terminal or break a line escaped.
#pragma once

#include <string>
#include <string_view>

namespace quen::tool {

// Lone or cut surrogates become "\uD8xx" and control characters "\u00xx".
std::string displayText(std::u16string_view text);

// True when `text` holds a surrogate that is not part of a pair.
bool hasLoneSurrogate(std::u16string_view text);

// A name (a path, a template's recording or attendant name) as text output shows it:
// as it is when every character is printable; otherwise in the shell's $'...' quoting,
// with control characters (C0, DEL, C1) and bytes that are not UTF-8 as backslash
// escapes: "a<ESC>b" is $'a\033b', a line feed \n. A shell reads it back as the same
// name, and no name can move the cursor, recolour the terminal or pass for two lines.
// Done for every text output, terminal or not: a report saved to a file is read on a
// terminal later, and a script gets the same text either way; JSON has the name whole.
std::string shownName(std::string_view name);

// Text that is not a name but may hold one (a line of QuenGreeting's log, a library's
// message): the same escapes in place, without quotes. Line feeds are kept when
// `keepLineFeeds`, for a message of several lines.
std::string shownText(std::string_view text, bool keepLineFeeds = false);

}  // namespace quen::tool
