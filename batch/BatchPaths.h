// How the batch job spells paths and names: '/' separators (a backslash is read as
// one), directories ending in '/', and the names derived from a recording.
#pragma once

#include <string>
#include <string_view>

namespace quen {

// Every backslash turned into '/'.
std::u16string withSlashSeparators(std::u16string_view path);

// The directory with '/' separators and exactly the trailing '/' it needs.
std::u16string asDirectory(std::u16string_view directory);

// The name without any of the nine characters a file name cannot hold:
// \ / : * ? " < > |
std::u16string withoutReservedCharacters(std::u16string_view name);

// The recording up to, not including, its first '.'.
std::u16string baseName(std::u16string_view recording);

// The part of a path after its last '/' (the whole path when there is none).
std::u16string lastComponent(std::u16string_view path);

}  // namespace quen
