// What the file system says about a path: the kind of entry it names (following
// symbolic links) and the names in a directory.
#pragma once

#include <string>
#include <vector>

namespace quen {

enum class EntryKind { Missing, File, Directory };

EntryKind entryKind(const std::string& path);

// The entry names of `directory` in byte order, "." and ".." left out; empty when the
// directory cannot be read.
std::vector<std::string> directoryEntries(const std::string& directory);

}  // namespace quen
