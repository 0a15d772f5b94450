// Whether two paths name the same file, for a file that may not exist yet: the batch
// uses it to find a recording that an earlier greeting of the same run writes.
#pragma once

#include <string>

namespace quen {

// The path with every symbolic link and "." or ".." resolved, as far as the file
// system allows: the whole path when it exists, else its directory and the last
// component as given. Two paths with the same identity name the same file.
std::string fileIdentity(const std::string& path);

}  // namespace quen
