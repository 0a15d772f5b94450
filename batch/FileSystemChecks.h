// Existence tests of the batch job: does a path name a file, or a directory? A last
// path component holding '*' or '?' is a pattern over its directory's entries.
#pragma once

#include <string>

namespace quen {

// True when the path, or the first entry its pattern matches, exists (a directory
// counts as well).
bool fileExists(const std::u16string& path);

// True when the path, or the first entry its pattern matches, is a directory.
bool directoryExists(const std::u16string& path);

}  // namespace quen
